// Holds a file open without sharing it, as a spreadsheet holds what it
// shows: hold_file PATH [MILLISECONDS]. Writes "held" on its standard output
// once it holds the file, then lets it go after MILLISECONDS, or without
// them never (until it is ended).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    ::Sleep(argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : INFINITE);
    ::CloseHandle(file);
    return 0;
}
