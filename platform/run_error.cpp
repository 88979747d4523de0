#include "platform/run_error.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

namespace vagliante {
namespace {

// A path as it may be shown on one line: a line end or another control
// character, and the backslash that starts such an escape, written as C does.
std::string Escaped(const std::string& path) {
    static constexpr char kDigits[] = "0123456789abcdef";
    auto control = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    };
    // A path with nothing to escape is shown as it is, backslashes and all.
    if (std::none_of(path.begin(), path.end(), control)) return path;
    std::string text;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            text += "\\\\";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else if (c == '\t')
            text += "\\t";
        else if (control(c)) {
            text += "\\x";
            text += kDigits[byte >> 4];
            text += kDigits[byte & 15];
        }
        else
            text += c;
    }
    return text;
}

std::string FormatText(ErrorNumber number, const std::string& path, const std::string& detail) {
    std::string text = "Errore " + std::to_string(static_cast<int>(number)) + ": ";
    text += ErrorDescription(number);
    if (!detail.empty()) text += ": " + detail;
    if (!path.empty()) text += ": " + Escaped(path);
    return text;
}

}  // namespace

const char* ErrorDescription(ErrorNumber number) {
    switch (number) {
        case ErrorNumber::InvalidArgument: return "Chiamata di routine o argomento non validi";
        case ErrorNumber::OutOfMemory: return "Memoria esaurita";
        case ErrorNumber::FileAlreadyOpen: return "File già aperto";
        case ErrorNumber::PastEndOfFile: return "Input oltre la fine del file";
        case ErrorNumber::BadFileName: return "Nome o numero di file non valido";
        case ErrorNumber::FileNotFound: return "Impossibile trovare il file";
        case ErrorNumber::DeviceIo: return "Errore di I/O della periferica";
        case ErrorNumber::DiskFull: return "Disco pieno";
        case ErrorNumber::PermissionDenied: return "Permesso negato";
        case ErrorNumber::PathFileAccess: return "Errore di accesso al percorso/file";
        case ErrorNumber::PathNotFound: return "Impossibile trovare il percorso";
    }
    return "Errore sconosciuto";
}

RunError::RunError(ErrorNumber number, std::string path) : RunError(number, std::move(path), "") {}

RunError::RunError(ErrorNumber number, std::string path, std::string detail)
    : std::runtime_error(FormatText(number, path, detail)),
      number_(number),
      path_(std::move(path)),
      detail_(std::move(detail)) {}

RunError RunError::FromErrno(int err, std::string path) {
    switch (err) {
        case ENOENT: return RunError(ErrorNumber::FileNotFound, std::move(path));
        case ENOTDIR: return RunError(ErrorNumber::PathNotFound, std::move(path));
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY: return RunError(ErrorNumber::PermissionDenied, std::move(path));
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG: return RunError(ErrorNumber::DiskFull, std::move(path));
        case ENAMETOOLONG:
        case EILSEQ: return RunError(ErrorNumber::BadFileName, std::move(path));
        case EIO: return RunError(ErrorNumber::DeviceIo, std::move(path));
        case EINVAL: return RunError(ErrorNumber::InvalidArgument, std::move(path));
        default: return RunError(ErrorNumber::PathFileAccess, std::move(path));
    }
}

void RethrowWithErrorNumber() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        throw RunError(ErrorNumber::OutOfMemory, "");
    } catch (const std::system_error& e) {
        // A thread that could not be started.
        if (e.code() == std::errc::resource_unavailable_try_again)
            throw RunError(ErrorNumber::OutOfMemory, "");
        throw;
    }
}

}  // namespace vagliante
