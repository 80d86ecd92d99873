#pragma once

#include <string>

#include "native_handle.h"

namespace keil {

// An exclusive lock for the lookup folder, so that one lookup run at a time
// uses its exchange files, whichever copy of the program it belongs to (on
// Windows whichever user of the machine runs it). Taking it waits without a
// time limit until the run that holds it lets go. It leaves nothing in the
// folder, and the system releases it when the process that holds it dies.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    NativeHandle handle_;
};

}  // namespace keil
