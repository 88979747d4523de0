#include "platform/run_error.h"

#include <cerrno>

namespace vagliante {
namespace {

std::string FormatText(ErrorNumber number, const std::string& path) {
    std::string text = "Errore " + std::to_string(static_cast<int>(number)) + ": ";
    text += ErrorDescription(number);
    if (!path.empty()) text += ": " + path;
    return text;
}

}  // namespace

const char* ErrorDescription(ErrorNumber number) {
    switch (number) {
        case ErrorNumber::InvalidArgument: return "Chiamata di routine o argomento non validi";
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

RunError::RunError(ErrorNumber number, std::string path)
    : std::runtime_error(FormatText(number, path)),
      number_(number),
      description_(ErrorDescription(number)),
      path_(std::move(path)) {}

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

}  // namespace vagliante
