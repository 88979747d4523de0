// RunError: the one kind of failure the core reports to its callers.
//
// A failure carries a number from the classic runtime scheme that users of
// this tool know (53 file not found, 76 path not found, ...), its Italian
// description and the path involved. The core throws it; the window handler
// or the command line catches it once and shows it.
#pragma once

#include <stdexcept>
#include <string>

namespace vagliante {

enum class ErrorNumber : int {
    InvalidArgument = 5,
    OutOfMemory = 7,
    BadFileName = 52,
    FileNotFound = 53,
    FileAlreadyOpen = 55,
    DeviceIo = 57,
    DiskFull = 61,
    PastEndOfFile = 62,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
};

class RunError : public std::runtime_error {
  public:
    RunError(ErrorNumber number, std::string path);
    // With a detail that says why, shown between the description and the
    // path: "Errore 70: Permesso negato: il file è in uso da un altro
    // programma: C:\...\ATT-63-70.TXT".
    RunError(ErrorNumber number, std::string path, std::string detail);

    // Maps an errno value of a failed file operation onto the scheme above.
    static RunError FromErrno(int err, std::string path);

    int Number() const { return static_cast<int>(number_); }
    ErrorNumber Code() const { return number_; }
    const std::string& Path() const { return path_; }
    const std::string& Detail() const { return detail_; }

    // "Errore N: description: path" (with the detail before the path, and
    // without the path part when it is empty), on one line: control
    // characters in the path are escaped.
    std::string Text() const { return what(); }

  private:
    ErrorNumber number_;
    std::string path_;
    std::string detail_;
};

// The Italian description of an error number.
const char* ErrorDescription(ErrorNumber number);

// Inside a catch block: throws the failure being handled again, as error 7
// when it is running out of memory (or out of threads), else unchanged.
[[noreturn]] void RethrowWithErrorNumber();

// Runs `work` and gives its result; a failure that is not yet a RunError but
// has a number becomes one (RethrowWithErrorNumber).
template <typename Work>
decltype(auto) RunWithErrorNumbers(Work&& work) {
    try {
        return work();
    } catch (...) {
        RethrowWithErrorNumber();
    }
}

}  // namespace vagliante
