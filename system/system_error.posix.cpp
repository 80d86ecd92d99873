#include <cerrno>
#include <cstring>

#include "system/error.h"

namespace keil {

const char* const kWrongFormatText =
    "Die Datei ist kein Programm, das Linux ausführen kann. Ist es ein Windows-Programm, bitten Sie Ihre "
    "IT-Betreuung, Wine dafür einzurichten.";

const std::int32_t kDiskFullCode = ENOSPC;

std::string HolderSearch(const std::string& path) {
    return "Die IT-Betreuung findet das Programm mit " + Quoted("lsof " + path) + ".";
}

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
            return SystemFault::kBusy;
        // From the start of a program: the user's or the system's limit of
        // processes is reached.
        case EAGAIN:
            return SystemFault::kTooManyPrograms;
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
    const char* name = ::strerrorname_np(code);
    return std::string("Das Betriebssystem meldet einen unerwarteten Fehler (") +
           (name != nullptr ? name : "Systemfehler " + std::to_string(code)) + ").";
}

}  // namespace keil
