#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace vagliante::fuzz {

namespace {

// The folder lives as long as the process and goes with it.
struct ScratchFolder {
    ScratchFolder() {
        std::error_code ignored;
        fs::path base = fs::is_directory("/dev/shm", ignored) ? fs::path("/dev/shm")
                                                               : fs::temp_directory_path();
        fs::path dir = base / ("vagliante-fuzz-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        path = dir.string();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string path;
};

}  // namespace

const std::string& Scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

}  // namespace vagliante::fuzz
