#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <restartmanager.h>

#include <atomic>
#include <vector>

#include "platform/file_holders.h"
#include "platform/utf8.h"

namespace vagliante::os {
namespace {

// The Restart Manager (rstrtmgr.dll, on every Windows since Vista) is loaded
// from the system's folder only when a file is found held, so the programs
// import no more than they did, and a system without it gives the message
// without a name (as Wine's, which names nobody, does).
std::string AskRestartManager(const std::string& path) {
    static const HMODULE library =
        ::LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library) return {};
    const auto start = reinterpret_cast<decltype(&::RmStartSession)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "RmStartSession")));
    const auto add = reinterpret_cast<decltype(&::RmRegisterResources)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "RmRegisterResources")));
    const auto list = reinterpret_cast<decltype(&::RmGetList)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "RmGetList")));
    const auto end = reinterpret_cast<decltype(&::RmEndSession)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "RmEndSession")));
    if (!start || !add || !list || !end) return {};

    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&session, 0, key) != ERROR_SUCCESS) return {};
    std::vector<RM_PROCESS_INFO> holders;
    // The full path, as the Restart Manager wants it.
    std::wstring name = SystemPath(path);
    if (std::wstring full = FullPath(name); !full.empty()) name = std::move(full);
    LPCWSTR files[] = {name.c_str()};
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        // The list may grow between the two calls: ask until it fits.
        for (int attempt = 0; attempt < 3; ++attempt) {
            UINT needed = 0, count = static_cast<UINT>(holders.size());
            DWORD reasons = 0;
            const DWORD result = list(session, &needed, &count, holders.data(), &reasons);
            if (result == ERROR_SUCCESS) {
                holders.resize(count);
                break;
            }
            holders.clear();
            if (result != ERROR_MORE_DATA) break;
            holders.resize(needed);
        }
    }
    end(session);

    std::string names;
    for (const RM_PROCESS_INFO& holder : holders) {
        const std::string program = ToUtf8(holder.strAppName);
        if (program.empty() ||
            (", " + names + ", ").find(", " + program + ", ") != std::string::npos)
            continue;
        if (!names.empty()) names += ", ";
        names += program;
    }
    return names;
}

std::atomic<HoldersLookup> lookup{nullptr};

}  // namespace

std::string HoldersOf(const std::string& path) {
    const HoldersLookup replaced = lookup.load();
    return replaced ? replaced(path) : AskRestartManager(path);
}

HoldersLookup SetHoldersLookup(HoldersLookup replacement) { return lookup.exchange(replacement); }

}  // namespace vagliante::os
