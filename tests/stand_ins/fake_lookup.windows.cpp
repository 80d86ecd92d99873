#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

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

// The child is this program again, with "child MS LEAVE RUNS RESPOND" as
// its arguments, sharing the standard handles it inherited.
void LeaveChild(long long ms, const std::string& runs, const std::string& respond, bool leave) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"";
    command.append(self).append("\" child ").append(std::to_string(ms)).append(leave ? " 1 \"" : " 0 \"");
    command.append(runs).append("\" \"").append(respond).append("\"");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (::CreateProcessA(self, command.data(), nullptr, nullptr, TRUE,
                         leave ? CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS : 0, nullptr, nullptr, &startup,
                         &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

bool RunAsChild(int argc, char** argv) {
    if (argc != 6 || std::string(argv[1]) != "child") return false;
    DoAsChild(std::stoll(argv[2]), argv[4], argv[5]);
    return true;
}

void IgnoreFileSizeSignal() {}

void GrowStandardOutput(long long size) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetFilePointerEx(out, LARGE_INTEGER{.QuadPart = size}, nullptr, FILE_BEGIN);
    ::SetEndOfFile(out);
}

}  // namespace fake
