#pragma once

#include <string>

namespace keil {

// The name of the lock for the lookup folder `folder`, the same in every
// session of the machine.
std::wstring FolderLockName(const std::string& folder);

}  // namespace keil
