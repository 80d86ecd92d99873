#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <tlhelp32.h>
#include <aclapi.h>
#include <sddl.h>

#include <stdexcept>

#include "process_wait.h"
#include "support.h"

namespace keil::test {

const Platform kThisPlatform = kWindowsOnly;
// A missing lookup folder shows when the run opens the folder itself.
const std::int32_t kErrNoFile = ERROR_FILE_NOT_FOUND, kErrNoFolder = ERROR_FILE_NOT_FOUND,
                   kErrNotAProgram = ERROR_BAD_EXE_FORMAT;
const std::vector<SystemFaultCase> kSystemFaults = {
    {ERROR_FILE_NOT_FOUND, SystemFault::kNotFound},
    {ERROR_BAD_NETPATH, SystemFault::kNotFound},
    {ERROR_ACCESS_DENIED, SystemFault::kNoPermission},
    {ERROR_SHARING_VIOLATION, SystemFault::kBusy},
    {ERROR_BAD_EXE_FORMAT, SystemFault::kWrongFormat},
    {1295, SystemFault::kDiskFull},  // ERROR_DISK_QUOTA_EXCEEDED
    {ERROR_WRITE_PROTECT, SystemFault::kReadOnly},
    {ERROR_CRC, SystemFault::kInputOutput},
    {ERROR_OUTOFMEMORY, SystemFault::kOutOfMemory},
    {ERROR_INVALID_HANDLE, SystemFault::kOther},
    // "The operating system cannot run %1."
    {ERROR_INVALID_ORDINAL, SystemFault::kOther},
};
const std::vector<Wait> kWaits = {{"Kernel32", &WaitForProcessExit}};

int CountOpenHandles() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

bool NoChildLeft() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool none = snapshot != INVALID_HANDLE_VALUE;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == ::GetCurrentProcessId()) none = false;
    }
    ::CloseHandle(snapshot);
    return none;
}

// Wine lets go of an ended process a little after its last handle closed;
// until then its ID still names it.
void WaitUntilGone(std::int32_t processId) {
    for (int i = 0; i < 100; ++i) {
        const HANDLE still = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
        if (still == nullptr) return;
        ::CloseHandle(still);
        ::Sleep(50);
    }
}

// The launcher names the only handles the program inherits, so nothing of
// this process can reach it but its standard error.
std::string GiveThisProcessInheritables() {
    return ::GetFileType(::GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN ? "stderr=open\n" : "stderr=none\n";
}

void InterruptThisProcessOften(bool) {}

// Named pipes live outside the file system here.
void MakeNamedPipe(const std::string&) {}

// Under Wine a file of another Unix user belongs to the Anonymous SID
// (S-1-5-7): Wine's own Unix path for the file, then the Unix chown, which
// Wine starts like any program but without a process to wait for, so the
// owner is read until it changed. (Windows would need the restore
// privilege to give a file another owner.)
void GiveToAnotherUser(const std::string& path) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (unixFileName == nullptr) throw std::runtime_error("not Wine");
    char* unixPath = unixFileName(std::filesystem::path(path).wstring().c_str());
    if (unixPath == nullptr) throw std::runtime_error("no Unix path for " + path);
    std::wstring command = L"chown nobody \"" + std::filesystem::path(unixPath).wstring() + L"\"";
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"Z:\\usr\\bin\\chown", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        throw std::runtime_error("chown did not start");
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (int i = 0; i < 400; ++i) {
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::GetNamedSecurityInfoW(std::filesystem::path(path).wstring().c_str(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                                    &descriptor) == ERROR_SUCCESS) {
            LPWSTR text = nullptr;
            const bool given = ::ConvertSidToStringSidW(owner, &text) && std::wstring(text) == L"S-1-5-7";
            ::LocalFree(text);
            ::LocalFree(descriptor);
            if (given) return;
        }
        ::Sleep(25);
    }
    throw std::runtime_error(path + " did not go to another user");
}

}  // namespace keil::test
