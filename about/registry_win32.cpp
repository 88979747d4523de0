// The Windows registry and program start, passed straight to the system.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "about/registry.h"

namespace vagliante {
namespace {

HKEY Key(RegKey key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry final : public Registry {
  public:
    RegStatus OpenKeyEx(RegKey root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegKey& key) override {
        HKEY opened = nullptr;
        LSTATUS status = ::RegOpenKeyExA(Key(root), subKey.c_str(), options, access, &opened);
        if (status == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
        return status;
    }

    RegStatus QueryValueEx(RegKey key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override {
        DWORD valueType = 0;
        DWORD valueSize = size;
        LSTATUS status =
            ::RegQueryValueExA(Key(key), valueName.c_str(), nullptr, &valueType, data, &valueSize);
        type = valueType;
        size = valueSize;
        return status;
    }

    RegStatus CloseKey(RegKey key) override { return ::RegCloseKey(Key(key)); }
};

class Win32Launcher final : public Launcher {
  public:
    bool FileExists(const std::string& path) override {
        DWORD attributes = ::GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    // ShellExecute returns at once; a value above 32 means the program started.
    bool StartProgram(const std::string& path) override {
        HINSTANCE result =
            ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }
};

}  // namespace

Registry& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

Launcher& SystemLauncher() {
    static Win32Launcher launcher;
    return launcher;
}

}  // namespace vagliante
