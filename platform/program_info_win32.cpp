#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "platform/program_info.h"

namespace vagliante {

VersionNumbers ProgramVersion() {
    // The fixed part of the running program's VERSIONINFO, read from its own
    // image: no file access, no version.dll.
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const auto* data = loaded ? static_cast<const unsigned char*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(nullptr, found) : 0;
    if (data) {
        // VS_FIXEDFILEINFO follows the key L"VS_VERSION_INFO", 32-bit aligned;
        // it starts with its signature.
        const DWORD signature = 0xFEEF04BD;
        for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
            if (std::memcmp(data + at, &signature, sizeof signature) != 0) continue;
            VS_FIXEDFILEINFO info;
            std::memcpy(&info, data + at, sizeof info);
            return {static_cast<int>(HIWORD(info.dwFileVersionMS)),
                    static_cast<int>(LOWORD(info.dwFileVersionMS)),
                    static_cast<int>(HIWORD(info.dwFileVersionLS))};
        }
    }
    return {kVersionMajor, kVersionMinor, kVersionRevision};
}

}  // namespace vagliante
