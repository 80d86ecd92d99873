#pragma once

#include <chrono>
#include <string>

#include "folder_lock.h"
#include "windows_support.windows.h"

namespace keil {

// The names of the lock for the lookup folder `folder` and of the count of
// its turns, the same in every session of the machine.
std::wstring FolderLockName(const std::string& folder);
std::wstring FolderTurnName(const std::string& folder);

// The lock for the lookup folder on Windows, so that one lookup run at a
// time uses its exchange files, whichever user of the machine runs it (on
// Linux the helper takes it). Taking it waits while other runs
// hold it, as TurnWait bounds the wait; then it raises kErrLockHeld, with
// the lock's name for a handle search. It leaves nothing in the folder,
// and the system releases it when the process that holds it dies.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder, std::chrono::milliseconds patience = kLockPatience);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    UniqueHandle mutex_;
};

}  // namespace keil
