#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/run_error.h"
#include "platform/utf8.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace vagliante::test {

fs::path FsPath(std::string_view utf8) {
#ifdef _WIN32
    return fs::path(SystemPath(utf8));
#else
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
#endif
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TempDir::TempDir() {
    const fs::path base = fs::temp_directory_path();
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("vagliante-test-" + std::to_string(rd()));
        if (fs::create_directory(candidate)) {
            path_ = Utf8Of(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

TempDir::~TempDir() {
    std::error_code ec;
#ifdef _WIN32
    // In the "\\?\" form, so that what a test made past MAX_PATH goes too.
    const fs::path root(L"\\\\?\\" + fs::path(ToUtf16(path_)).make_preferred().native());
#else
    const fs::path root = FsPath(path_);
#endif
    // Files a test made read-only must still go.
    for (auto& entry : fs::recursive_directory_iterator(root, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
}

std::vector<std::string> TempDir::List() const {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(FsPath(path_)))
        names.push_back(Utf8Of(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(FsPath(path), ignored);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

void MakeFolder(const std::string& path) {
    if (!fs::create_directory(FsPath(path))) throw std::runtime_error("cannot make " + path);
}

int ErrorOf(const std::function<void()>& run) { return FailureOf(run).number; }

Failure FailureOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const RunError& e) {
        return {e.Number(), e.Path()};
    }
    return {};
}

std::ostream& operator<<(std::ostream& out, const Failure& failure) {
    return out << "error " << failure.number << " [" << failure.path << "]";
}

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

int RunCommandLine(const std::string& line) {
#ifdef _WIN32
    // cmd.exe /c drops the first and the last quote of a line that starts
    // with one: a pair around the whole line keeps the quoted paths intact.
    // Given in UTF-16, the line keeps the letters outside the code page.
    return _wsystem(ToUtf16("\"" + line + "\"").c_str());
#else
    const int raw = std::system(line.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

const char* NullDevice() {
#ifdef _WIN32
    return "NUL";
#else
    return "/dev/null";
#endif
}

}  // namespace vagliante::test
