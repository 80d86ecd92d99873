#include <climits>
#include <memory>

#include "error.h"
#include "folder_lock.windows.h"
#include "responsive_wait.h"
#include "windows_support.windows.h"

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

// The number of the turn: the count of the semaphore `turn`, read by
// raising and lowering it again; "" when it cannot be read.
std::string TurnNumber(HANDLE turn) {
    LONG count = 0;
    if (!::ReleaseSemaphore(turn, 1, &count)) return "";
    ::WaitForSingleObject(turn, 0);
    return std::to_string(count);
}

}  // namespace

std::wstring FolderLockName(const std::string& folder) {
    return L"Global\\Keilbrecher lookup folder " + NamedPath(folder);
}

std::wstring FolderTurnName(const std::string& folder) {
    return L"Global\\Keilbrecher lookup turn " + NamedPath(folder);
}

// A named mutex, and beside it a named semaphore whose count each run
// raises by one when it has taken the mutex: a mutex does not tell who
// holds it, and the count tells one holder from the next. Both in the
// Global namespace, where every user of the machine may use them.
FolderLock::FolderLock(const std::string& folder, std::chrono::milliseconds patience) {
    EveryoneMay waitAndRelease(L"D:(A;;0x00100001;;;WD)");  // SYNCHRONIZE | MUTEX_MODIFY_STATE
    const std::wstring lockName = FolderLockName(folder);
    UniqueHandle mutex = Made(::CreateMutexExW(waitAndRelease.get(), lockName.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE),
                              folder, lockName);
    EveryoneMay countAndRead(L"D:(A;;0x00100002;;;WD)");  // SYNCHRONIZE | SEMAPHORE_MODIFY_STATE
    const std::wstring turnName = FolderTurnName(folder);
    const UniqueHandle turn = Made(::CreateSemaphoreExW(countAndRead.get(), 0, LONG_MAX, turnName.c_str(), 0,
                                                        SYNCHRONIZE | SEMAPHORE_MODIFY_STATE),
                                   folder, turnName);
    // An abandoned mutex was held by a copy that died: it is ours now.
    TurnWait wait(patience, TurnWait::Clock::now());
    const WaitNotice notice(WaitingFor::kOtherRun);
    for (;;) {
        const Waited waited = WaitUntilReady(mutex.get(), kLookForHolderEvery);
        if (waited == Waited::kReady) break;
        if (waited != Waited::kTimedOut) {
            ThrowSystemError(LastError(), "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht gesperrt werden");
        }
        // A count that cannot be read is the same holder throughout.
        const std::string number = TurnNumber(turn.get());
        switch (wait.Saw("Zug " + number, TurnWait::Clock::now())) {
            case TurnWait::Verdict::kWait:
            case TurnWait::Verdict::kNobodyHolds:
                break;
            case TurnWait::Verdict::kHeldTooLong:
                ThrowLockHeld(folder, "", Utf8FromWide(lockName));
            case TurnWait::Verdict::kQueueTooLong:
                ThrowLockHeld(folder, "", Utf8FromWide(lockName), true);
        }
    }
    ::ReleaseSemaphore(turn.get(), 1, nullptr);
    mutex_ = std::move(mutex);
}

FolderLock::~FolderLock() { ::ReleaseMutex(mutex_.get()); }

}  // namespace keil
