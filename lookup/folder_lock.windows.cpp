#include <memory>

#include "error.h"
#include "folder_lock.h"
#include "folder_lock.windows.h"
#include "responsive_wait.h"
#include "windows_support.windows.h"

#include <sddl.h>

namespace keil {

// The Global namespace, the folder's path in lower case, and slashes for
// the backslashes that a name may not hold.
std::wstring FolderLockName(const std::string& folder) {
    std::wstring path = WideFromUtf8(folder);
    ::CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
    for (wchar_t& c : path) {
        if (c == L'\\') c = L'/';
    }
    return L"Global\\Keilbrecher lookup folder " + path;
}

// A named mutex. Whoever creates it, every user of the machine may wait on
// it and release it; the default security would lock out the users who did
// not create it.
FolderLock::FolderLock(const std::string& folder, std::chrono::milliseconds patience) {
    constexpr wchar_t kEveryoneMayWaitAndRelease[] = L"D:(A;;0x00100001;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kEveryoneMayWaitAndRelease, SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        ThrowSystemError(LastError(), "Die Sperre für den Ordner des Suchprogramms kann nicht angelegt werden");
    }
    const std::unique_ptr<void, decltype(&::LocalFree)> owned(descriptor, &::LocalFree);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    UniqueHandle mutex(::CreateMutexExW(&attributes, FolderLockName(folder).c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    if (!mutex.valid()) {
        // The name is taken by a mutex that shuts this user out, or by an
        // object of another kind: somebody made it first to stop lookups.
        const std::int32_t error = LastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE) {
            ThrowLockTaken(folder, Utf8FromWide(FolderLockName(folder)));
        }
        ThrowSystemError(LastError(), "Die Sperre für den Ordner des Suchprogramms " + Quoted(folder) + " kann nicht angelegt werden");
    }
    // An abandoned mutex was held by a copy that died: it is ours now. A
    // mutex does not tell who holds it.
    const Waited waited = WaitUntilReady(mutex.get(), patience);
    if (waited == Waited::kTimedOut) ThrowLockHeld(folder, "", Utf8FromWide(FolderLockName(folder)));
    if (waited != Waited::kReady) {
        ThrowSystemError(LastError(), "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht gesperrt werden");
    }
    handle_ = mutex.release();
}

FolderLock::~FolderLock() {
    ::ReleaseMutex(handle_);
    ::CloseHandle(handle_);
}

}  // namespace keil
