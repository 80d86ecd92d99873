#include <memory>

#include "shared_folder/folder_lock.windows.h"
#include "system/error.h"

#include <sddl.h>

namespace keil {
namespace {

// The folder's path in lower case, with slashes for the backslashes that a
// name may not hold.
std::wstring NamedPath(const std::string& folder) {
    std::wstring path = WideFromUtf8(folder);
    ::CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
    for (wchar_t& c : path) {
        if (c == L'\\') c = L'/';
    }
    return path;
}

// Security attributes that let every user of the machine use an object,
// with `rights`, whoever created it; the default security would lock out
// the users who did not create it.
class EveryoneMay {
public:
    explicit EveryoneMay(const wchar_t* sddl) {
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor_, nullptr)) {
            ThrowSystemError(LastError(), "Die Sperre für den Ordner des Suchprogramms kann nicht angelegt werden");
        }
        attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~EveryoneMay() { ::LocalFree(descriptor_); }
    EveryoneMay(const EveryoneMay&) = delete;
    EveryoneMay& operator=(const EveryoneMay&) = delete;
    SECURITY_ATTRIBUTES* get() { return &attributes_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{sizeof attributes_, nullptr, FALSE};
};

// The object `made` of the name `name`; a name that another program took
// first, as an object that shuts this user out or of another kind, stops
// every lookup on the machine.
UniqueHandle Made(HANDLE made, const std::string& folder, const std::wstring& name) {
    UniqueHandle object(made);
    if (object.valid()) return object;
    const std::int32_t error = LastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE) ThrowLockTaken(folder, Utf8FromWide(name));
    ThrowSystemError(error, "Die Sperre für den Ordner des Suchprogramms " + Quoted(folder) +
                                " kann nicht angelegt werden");
}

}  // namespace

void ThrowLockTaken(const std::string& folder, const std::string& name) {
    throw Error(kErrLockTaken, "Ein anderes Programm blockiert die Sperre für den Ordner des Suchprogramms " +
                                   Quoted(folder) + ", deshalb kann auf diesem Rechner niemand suchen. " +
                                   kTellSupport + " Die IT-Betreuung findet das Programm über eine Suche nach "
                                   "offenen Handles mit dem Namen " + Quoted(name) + ".");
}

std::wstring FolderLockName(const std::string& folder) {
    return L"Global\\Keilbrecher lookup folder " + NamedPath(folder);
}

// A named mutex in the Global namespace, where every user of the machine
// may use it. A mutex does not tell who holds it, nor one holder from the
// next: the wait says only that another run has its turn.
FolderLock::FolderLock(const std::string& folder, WaitHooks* hooks) {
    EveryoneMay waitAndRelease(L"D:(A;;0x00100001;;;WD)");  // SYNCHRONIZE | MUTEX_MODIFY_STATE
    const std::wstring lockName = FolderLockName(folder);
    UniqueHandle mutex = Made(::CreateMutexExW(waitAndRelease.get(), lockName.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE),
                              folder, lockName);
    // An abandoned mutex was held by a copy that died: it is ours now.
    if (hooks != nullptr) hooks->Waiting(WaitingFor::kOtherRun, "");
    if (WaitUntilReady(mutex.get(), kNoLimit, hooks) != Waited::kReady) {
        ThrowSystemError(LastError(), "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht gesperrt werden");
    }
    mutex_ = std::move(mutex);
}

FolderLock::~FolderLock() { ::ReleaseMutex(mutex_.get()); }

}  // namespace keil
