// Helpers for the tests: a scratch folder, whole-file reads and writes, and a
// Progress that records what it was told.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/progress.h"

// Built with AddressSanitizer, which reserves far more address space than a
// run needs: a run under it cannot be given a small limit of address space.
#if defined(__SANITIZE_ADDRESS__)
#define VAGLIANTE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VAGLIANTE_ASAN 1
#endif
#endif

namespace vagliante::test {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> List() const;

  private:
    std::string path_;
};

// A UTF-8 path for the standard library (on Windows as SystemPath gives it,
// so that it may be longer than MAX_PATH), and back. On Windows libstdc++
// reads a plain std::string byte by byte, not as UTF-8.
std::filesystem::path FsPath(std::string_view utf8);
std::string Utf8Of(const std::filesystem::path& path);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
// Removes a file if it is there.
void RemoveFile(const std::string& path);
// Bytes from their values: Bytes({0x82, 0x00}).
std::string Bytes(std::initializer_list<int> values);
// Splits a text at CR LF; a text not ended by CR LF gives a last partial line.
std::vector<std::string> SplitCrLf(const std::string& text);
// Makes the folder `path` (its parent must exist).
void MakeFolder(const std::string& path);

// The error number of the RunError `run` throws; 0 when it throws none.
int ErrorOf(const std::function<void()>& run);

// The RunError `run` throws, by its number and path; number 0 when it
// throws none.
struct Failure {
    int number = 0;
    std::string path;
    bool operator==(const Failure&) const = default;
};
Failure FailureOf(const std::function<void()>& run);
std::ostream& operator<<(std::ostream& out, const Failure& failure);

// The parts of `text` between the separators (none for an empty text; a
// separator at the end ends the last part).
std::vector<std::string> Split(std::string_view text, char separator);

// Runs a command line through the system's shell (sh, or cmd.exe on
// Windows) and gives the command's exit status, -1 if it did not exit.
// Paths in it are quoted with Quoted, which both shells read alike.
int RunCommandLine(const std::string& line);
std::string Quoted(const std::string& path);
// The name of the null device in a command line: /dev/null or NUL.
const char* NullDevice();
// The line end of text a program writes to a redirected stdout or stderr:
// the C runtime of Windows turns "\n" into CR LF there.
#ifdef _WIN32
inline constexpr std::string_view kTextLineEnd = "\r\n";
#else
inline constexpr std::string_view kTextLineEnd = "\n";
#endif

// A filter or a conversion as a plain work function, its summary dropped, so
// that they stand in one table.
template <auto Filter>
void WithoutSummary(const std::string& source, const std::string& destination, Progress& progress) {
    Filter(source, destination, progress);
}

class RecordingProgress final : public Progress {
  public:
    void SetMax(double max) override { maxima.push_back(max); }
    void SetValue(double value) override { values.push_back(value); }
    std::vector<double> maxima;
    std::vector<double> values;
};

}  // namespace vagliante::test
