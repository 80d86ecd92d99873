#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "fake_lookup.h"

namespace fake {

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

// The launcher names the only handles the program inherits: whether
// standard error is one of them is all there is to report.
std::string StartReport() {
    return ::GetFileType(::GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN ? "stderr=open\n" : "stderr=none\n";
}

int OverwriteByName(const std::string& path, const std::string& bytes) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok ? 0 : static_cast<int>(ERROR_WRITE_FAULT);
}

int RenameOverByName(const std::string& from, const std::string& path) {
    return ::MoveFileExA(from.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : static_cast<int>(::GetLastError());
}

void Crash() {
    // No error box, and no debugger started for it.
    ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    ::RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ::ExitProcess(1);
}

void LeaveChild(long long, const std::string&) {}

void GrowStandardOutput(long long size) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetFilePointerEx(out, LARGE_INTEGER{.QuadPart = size}, nullptr, FILE_BEGIN);
    ::SetEndOfFile(out);
}

}  // namespace fake
