// The Windows registry and program start, passed to the wide calls of the
// system with names, paths and string data converted from and to UTF-8.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "about/registry.h"
#include "platform/utf8.h"

namespace vagliante {
namespace {

HKEY Key(RegKey key) { return reinterpret_cast<HKEY>(key); }

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

class Win32Registry final : public Registry {
  public:
    RegStatus OpenKeyEx(RegKey root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegKey& key) override {
        HKEY opened = nullptr;
        LSTATUS status =
            ::RegOpenKeyExW(Key(root), ToUtf16(subKey).c_str(), options, access, &opened);
        if (status == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
        return status;
    }

    RegStatus QueryValueEx(RegKey key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override {
        // The whole value first, as the system holds it (text in UTF-16): its
        // size in UTF-8 is known only once it is converted.
        const std::wstring name = ToUtf16(valueName);
        std::vector<BYTE> stored(std::max<std::size_t>(size, 2) * 2);
        DWORD valueType = 0;
        DWORD storedSize = 0;
        LSTATUS status = ERROR_MORE_DATA;
        // It may grow between two calls: a few tries.
        for (int attempt = 0; attempt < 4 && status == ERROR_MORE_DATA; ++attempt) {
            storedSize = static_cast<DWORD>(stored.size());
            status = ::RegQueryValueExW(Key(key), name.c_str(), nullptr, &valueType, stored.data(),
                                        &storedSize);
            if (status == ERROR_MORE_DATA) stored.resize(storedSize);
        }
        if (status != ERROR_SUCCESS) return status;
        stored.resize(storedSize);
        type = valueType;

        std::string bytes;
        if (IsText(valueType)) {
            std::wstring text(stored.size() / sizeof(wchar_t), L'\0');
            if (!text.empty())
                std::memcpy(text.data(), stored.data(), text.size() * sizeof(wchar_t));
            bytes = ToUtf8(text);
        } else {
            bytes.assign(stored.begin(), stored.end());
        }
        const auto needed = static_cast<std::uint32_t>(bytes.size());
        if (data != nullptr && needed > size) {
            size = needed;
            return kErrorMoreData;
        }
        if (data != nullptr && needed > 0) std::memcpy(data, bytes.data(), needed);
        size = needed;
        return kErrorSuccess;
    }

    RegStatus CloseKey(RegKey key) override { return ::RegCloseKey(Key(key)); }
};

class Win32Launcher final : public Launcher {
  public:
    bool FileExists(const std::string& path) override {
        DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    // ShellExecute returns at once; a value above 32 means the program started.
    bool StartProgram(const std::string& path) override {
        HINSTANCE result = ::ShellExecuteW(nullptr, L"open", SystemPath(path).c_str(), nullptr,
                                           nullptr, SW_SHOWNORMAL);
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
