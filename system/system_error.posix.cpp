#include <cerrno>
#include <cstring>

#include "error.h"

namespace keil {

const char* const kWrongFormatText =
    "Die Datei ist kein Programm, das Linux ausführen kann. Ein Windows-Programm braucht Wine: Bitten Sie "
    "Ihre IT-Betreuung, Wine für Windows-Programme einzurichten.";

SystemFault ClassifySystemError(std::int32_t code) {
    switch (code) {
        case ENOENT:
        case ENOTDIR:
            return SystemFault::kNotFound;
        case EACCES:
        case EPERM:
            return SystemFault::kNoPermission;
        case EBUSY:
        case ETXTBSY:
        case EAGAIN:
            return SystemFault::kBusy;
        case ENOEXEC:
            return SystemFault::kWrongFormat;
        case ENOSPC:
        case EDQUOT:
            return SystemFault::kDiskFull;
        case EROFS:
            return SystemFault::kReadOnly;
        case EIO:
            return SystemFault::kInputOutput;
        case ENOMEM:
            return SystemFault::kOutOfMemory;
        default:
            return SystemFault::kOther;
    }
}

std::string SystemErrorText(std::int32_t code) {
    if (code == 0) return "";
    std::string text = "Systemfehler ";
    if (const char* name = ::strerrorname_np(code)) text.append(name).append(" ");
    return text.append("(").append(std::to_string(code)).append(")");
}

}  // namespace keil
