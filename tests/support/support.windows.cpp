#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <tlhelp32.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "folder_check/dacl.windows.h"
#include "process/process_wait.h"
#include "shared_folder/folder_lock.windows.h"
#include "support.h"

namespace keil::test {

const Platform kThisPlatform = kWindowsOnly;
// A missing lookup folder shows when the run opens the folder itself.
const std::int32_t kErrNoFile = ERROR_FILE_NOT_FOUND, kErrNoFolder = ERROR_FILE_NOT_FOUND,
                   kErrNotAProgram = ERROR_BAD_EXE_FORMAT, kErrDiskFull = ERROR_DISK_FULL;
const std::vector<SystemFaultCase> kSystemFaults = {
    {ERROR_FILE_NOT_FOUND, SystemFault::kNotFound},
    {ERROR_BAD_NETPATH, SystemFault::kNotFound},
    {ERROR_ACCESS_DENIED, SystemFault::kNoPermission},
    {ERROR_SHARING_VIOLATION, SystemFault::kBusy},
    {ERROR_NO_PROC_SLOTS, SystemFault::kTooManyPrograms},
    {ERROR_BAD_EXE_FORMAT, SystemFault::kWrongFormat},
    {1295, SystemFault::kDiskFull},  // ERROR_DISK_QUOTA_EXCEEDED
    {ERROR_WRITE_PROTECT, SystemFault::kReadOnly},
    {ERROR_CRC, SystemFault::kInputOutput},
    {ERROR_OUTOFMEMORY, SystemFault::kOutOfMemory},
    {ERROR_INVALID_HANDLE, SystemFault::kOther},
    // "The operating system cannot run %1."
    {ERROR_INVALID_ORDINAL, SystemFault::kOther},
};
const std::vector<Wait> kWaits = {
    {"Kernel32", [](std::int32_t processId) { return WaitForProcessExit(processId, nullptr).exitCode; }}};

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

// Windows limits no file's size for a process.
void LimitFileSize(std::int64_t) {}

// The rows on a small disk are POSIX's.
bool RunsAsRoot() { return false; }
SmallDisk::SmallDisk(std::int64_t) {}
SmallDisk::~SmallDisk() = default;

// Named pipes live outside the file system here.
void MakeNamedPipe(const std::string&) {}

namespace {

// Starts the Unix program `program` with `arguments` and then the Unix path
// of `path`, as Wine starts a Unix program: without a process to wait for.
// Returns once `done` holds, read every 25 ms.
void RunUnixProgram(const std::wstring& program, const std::wstring& arguments, const std::string& path,
                    bool (*done)(const std::wstring& path)) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (unixFileName == nullptr) throw std::runtime_error("not Wine");
    const std::wstring windowsPath = std::filesystem::path(path).wstring();
    char* unixPath = unixFileName(windowsPath.c_str());
    if (unixPath == nullptr) throw std::runtime_error("no Unix path for " + path);
    std::wstring command = program + L" " + arguments + L" \"" + std::filesystem::path(unixPath).wstring() + L"\"";
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW((L"Z:" + program).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        throw std::runtime_error("a Unix program did not start");
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (int i = 0; i < 400; ++i) {
        if (done(windowsPath)) return;
        ::Sleep(25);
    }
    throw std::runtime_error("a Unix program did not do its work on " + path);
}

}  // namespace

// Under Wine a file of another Unix user belongs to the Anonymous SID
// (S-1-5-7). (Windows would need the restore privilege to give a file
// another owner.)
void GiveToAnotherUser(const std::string& path) {
    RunUnixProgram(L"/usr/bin/chown", L"nobody", path, [](const std::wstring& windowsPath) {
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::GetNamedSecurityInfoW(windowsPath.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                    nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
            return false;
        }
        LPWSTR text = nullptr;
        const bool given = ::ConvertSidToStringSidW(owner, &text) && std::wstring(text) == L"S-1-5-7";
        ::LocalFree(text);
        ::LocalFree(descriptor);
        return given;
    });
}

// From a thread of its own: a mutex is its holding thread's again and again.
bool FolderLockIsFree() {
    bool free = false;
    std::thread([&free] {
        const HANDLE mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, FolderLockName(FibuDir()).c_str());
        if (mutex == nullptr) {
            free = true;
            return;
        }
        const DWORD waited = ::WaitForSingleObject(mutex, 0);
        free = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (free) ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }).join();
    return free;
}

// Wine shows the others' write bit of a file's Unix mode as an allow entry
// of Everyone's in its DACL.
void LetEveryoneWrite(const std::string& path) {
    RunUnixProgram(L"/bin/chmod", L"o+w", path, [](const std::wstring& windowsPath) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::GetNamedSecurityInfoW(windowsPath.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
            return false;
        }
        const auto entries = DaclEntries(dacl);
        ::LocalFree(descriptor);
        return entries && std::ranges::any_of(*entries, [](const AccessEntry& entry) {
                   return entry.kind == AccessEntry::kAllow && entry.account == kEveryone && (entry.mask & FILE_WRITE_DATA);
               });
    });
}

bool Listed(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    return true;
}

// A Unix socket: it shows in the folder, and Wine can neither open nor
// delete it.
void MakeUnopenableEntry(const std::string& path) {
    RunUnixProgram(L"/usr/bin/python3", L"-c \"import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])\"",
                   path, &Listed);
}

// By Unix rm, which removes what Wine cannot open, and names with a
// trailing dot too.
void RemoveFolder() {
    const std::string folder = FibuDir().substr(0, FibuDir().size() - 1);
    if (!Listed(std::filesystem::path(folder).wstring())) return;
    RunUnixProgram(L"/bin/rm", L"-rf", folder, [](const std::wstring& path) { return !Listed(path); });
}

}  // namespace keil::test
