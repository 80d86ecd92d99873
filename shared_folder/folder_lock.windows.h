#pragma once

#include <string>

#include "process/wait.h"
#include "system/windows_support.windows.h"

namespace keil {

// Another program made the name `name` of the lock for the lookup folder
// `folder` first, as an object that this program may not wait on.
[[noreturn]] void ThrowLockTaken(const std::string& folder, const std::string& name);

// The name of the lock for the lookup folder `folder`, the same in every
// session of the machine.
std::wstring FolderLockName(const std::string& folder);

// The lock for the lookup folder on Windows, so that one lookup run at a
// time uses its exchange files, whichever user of the machine runs it (on
// Linux the helper takes it). Taking it waits as long as other runs hold
// it; `hooks`, where there are any, get their turn meanwhile. It leaves
// nothing in the folder, and the system releases it when the process that
// holds it dies.
class FolderLock {
public:
    FolderLock(const std::string& folder, WaitHooks* hooks);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    UniqueHandle mutex_;
};

}  // namespace keil
