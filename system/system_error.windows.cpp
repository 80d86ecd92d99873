#include <algorithm>
#include <memory>

#include "system/error.h"
#include "system/windows_support.windows.h"

namespace keil {
namespace {

// FormatMessageW's text for `code` in `language` (0: Windows' own choice),
// or "" with the last error set.
std::wstring SystemMessage(DWORD code, DWORD language) {
    wchar_t* buffer = nullptr;
    // Inserts ("%1") are left in the text and removed below: the program
    // has no arguments to fill them with.
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        language, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owned(buffer, &::LocalFree);
    return length == 0 ? std::wstring() : std::wstring(buffer, length);
}

// Not in every SDK's winerror.h.
constexpr DWORD kErrorDiskQuotaExceeded = 1295;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A message text with its inserts ("%1", "%2!d!") removed, its escapes
// ("%%", "%n") resolved, its line breaks and doubled blanks made single
// blanks, and no blank left before a full stop or comma.
std::wstring WithoutInserts(const std::wstring& raw) {
    std::wstring text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        wchar_t c = raw[i];
        if (c == L'%' && i + 1 < raw.size()) {
            c = raw[++i];
            if (IsDigit(c)) {
                while (i + 1 < raw.size() && IsDigit(raw[i + 1])) ++i;
                if (i + 1 < raw.size() && raw[i + 1] == L'!') i = std::min(raw.find(L'!', i + 2), raw.size());
                continue;
            }
            if (c == L'n' || c == L'r' || c == L't' || c == L'b') c = L' ';
        }
        if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
        if (c == L' ' && (text.empty() || text.back() == L' ')) continue;
        // "für %1." without its insert: no blank before the full stop.
        if ((c == L'.' || c == L',') && !text.empty() && text.back() == L' ') text.pop_back();
        text += c;
    }
    while (!text.empty() && text.back() == L' ') text.pop_back();
    return text;
}

}  // namespace

const char* const kWrongFormatText =
    "Die Datei ist kein Programm, das Windows ausführen kann, oder sie ist beschädigt. Bitten Sie Ihre "
    "IT-Betreuung, das Suchprogramm neu einzurichten.";

const std::int32_t kDiskFullCode = ERROR_DISK_FULL;

std::string HolderSearch(const std::string& path) {
    return "Die IT-Betreuung findet das Programm mit einer Suche nach Handles für " + Quoted(path) +
           " (Process Explorer, handle.exe), eine eingeblendete Datei in der DLL-Ansicht des Process Explorer.";
}

SystemFault ClassifySystemError(std::int32_t code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return SystemFault::kNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED:
            return SystemFault::kNoPermission;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return SystemFault::kBusy;
        case ERROR_NO_PROC_SLOTS:
        case ERROR_NOT_ENOUGH_QUOTA:
            return SystemFault::kTooManyPrograms;
        case ERROR_BAD_FORMAT:
        case ERROR_INVALID_EXE_SIGNATURE:
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
            return SystemFault::kWrongFormat;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
        case kErrorDiskQuotaExceeded:
            return SystemFault::kDiskFull;
        case ERROR_WRITE_PROTECT:
            return SystemFault::kReadOnly;
        case ERROR_CRC:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_IO_DEVICE:
            return SystemFault::kInputOutput;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_COMMITMENT_LIMIT:
            return SystemFault::kOutOfMemory;
        default:
            return SystemFault::kOther;
    }
}

std::string SystemErrorText(std::int32_t code) {
    if (code == 0) return "";
    const auto number = static_cast<DWORD>(code);
    // German where Windows has the language installed; the text in another
    // language would not be understood.
    const std::wstring raw = SystemMessage(number, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    if (raw.empty()) return "Windows meldet den Systemfehler " + std::to_string(number) + ".";
    return Utf8FromWide(WithoutInserts(raw));
}

}  // namespace keil
