// A registry and a launcher that hold what a test puts in them and record
// what the code under test asks of them.
#pragma once

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "about/registry.h"

namespace vagliante::test {

struct FakeValue {
    std::uint32_t type;
    std::string bytes;
};

class FakeRegistry final : public Registry {
  public:
    std::map<std::string, std::map<std::string, FakeValue>> keys;  // under HKEY_LOCAL_MACHINE
    std::vector<std::string> opened;                               // keys asked for, in order
    std::uint32_t rights = 0;                                      // of the last open
    std::vector<RegKey> closed;
    std::map<RegKey, std::string> open;

    RegStatus OpenKeyEx(RegKey root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegKey& key) override {
        opened.push_back(subKey);
        rights = options == 0 ? access : 0;
        if (root != kHkeyLocalMachine || keys.count(subKey) == 0) return kErrorFileNotFound;
        key = 0x1000 + opened.size();
        open[key] = subKey;
        return kErrorSuccess;
    }
    RegStatus QueryValueEx(RegKey key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override {
        auto& values = keys[open.at(key)];
        auto value = values.find(valueName);
        if (value == values.end()) return kErrorFileNotFound;
        type = value->second.type;
        const auto needed = static_cast<std::uint32_t>(value->second.bytes.size());
        const bool fits = needed <= size;
        if (fits) std::memcpy(data, value->second.bytes.data(), needed);
        size = needed;
        return fits ? kErrorSuccess : kErrorMoreData;
    }
    RegStatus CloseKey(RegKey key) override {
        closed.push_back(key);
        return open.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
    }
};

class FakeLauncher final : public Launcher {
  public:
    std::set<std::string> files;
    bool startWorks = true;
    std::vector<std::string> started;

    bool FileExists(const std::string& path) override { return files.count(path) == 1; }
    bool StartProgram(const std::string& path) override {
        started.push_back(path);
        return startWorks && !path.empty();
    }
};

}  // namespace vagliante::test
