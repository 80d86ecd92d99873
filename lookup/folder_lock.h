#pragma once

#include <chrono>
#include <string>

#include "native_handle.h"

namespace keil {

// How long a run waits for the lock that another run holds. Another
// clerk's lookup program that hangs, or a program that takes the lock to
// stop the others, keeps nobody waiting longer.
inline constexpr std::chrono::seconds kLockPatience{60};

// An exclusive lock for the lookup folder, so that one lookup run at a time
// uses its exchange files, whichever copy of the program it belongs to (on
// Windows whichever user of the machine runs it; on Linux the exchange
// helper takes the lock instead, and this does nothing). Taking it waits until the
// run that holds it lets go, at most `patience`; then it raises
// kErrLockHeld, naming the holder where the system tells. It leaves
// nothing in the folder, and the system releases it when the process that
// holds it dies.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder, std::chrono::milliseconds patience = kLockPatience);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    [[maybe_unused]] NativeHandle handle_;  // Windows: the mutex held
};

}  // namespace keil
