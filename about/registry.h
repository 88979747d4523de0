// The operating-system services the About window needs: the registry (open a
// key, query a value, close a key, with the statuses and type codes of the
// Windows registry), a file-exists test and a detached program start.
//
// Each call maps one to one onto its Windows counterpart (RegOpenKeyExW,
// RegQueryValueExW, RegCloseKey, GetFileAttributesW, ShellExecuteW), so the
// logic above it is written once and tested against a fake. Names, paths and
// the data of string values are UTF-8, whatever the user's code page: the
// Windows backend converts them at each call.
#pragma once

#include <cstdint>
#include <string>

namespace vagliante {

// A registry key handle: an open key or a predefined root key. Pointer-wide,
// so that the Windows backend can hand an HKEY through unchanged.
using RegKey = std::uintptr_t;
// LSTATUS: 0 for success, otherwise a Windows error code.
using RegStatus = std::int32_t;

// HKEY_LOCAL_MACHINE, sign-extended as Windows does on 64-bit systems.
inline constexpr RegKey kHkeyLocalMachine =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

// Query value, set value, create sub-key, enumerate sub-keys, notify, create
// link and read control.
inline constexpr std::uint32_t kKeyAccessRights = 0x2003F;

inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorAccessDenied = 5;
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorMoreData = 234;

// Value type codes.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

class Registry {
  public:
    virtual ~Registry() = default;

    // RegOpenKeyExW(root, subKey, options, access, &key). On failure `key`
    // is left as it was.
    virtual RegStatus OpenKeyEx(RegKey root, const std::string& subKey, std::uint32_t options,
                                std::uint32_t access, RegKey& key) = 0;

    // RegQueryValueExW(key, valueName, nullptr, &type, data, &size), with a
    // string value (kRegSz, and the expandable and multiple kinds) given in
    // UTF-8, its NULs kept, and other data as stored: `size` holds the
    // buffer's size on entry and the bytes written on success; with
    // kErrorMoreData it holds the size the value needs.
    virtual RegStatus QueryValueEx(RegKey key, const std::string& valueName, std::uint32_t& type,
                                   unsigned char* data, std::uint32_t& size) = 0;

    // RegCloseKey(key).
    virtual RegStatus CloseKey(RegKey key) = 0;
};

class Launcher {
  public:
    virtual ~Launcher() = default;

    // Whether `path` names an existing ordinary file (not a folder).
    virtual bool FileExists(const std::string& path) = 0;

    // Starts the program at `path` in a normal window that takes the focus,
    // without waiting for it. False when it cannot be started.
    virtual bool StartProgram(const std::string& path) = 0;
};

// This platform's registry and launcher.
Registry& SystemRegistry();
Launcher& SystemLauncher();

}  // namespace vagliante
