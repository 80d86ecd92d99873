#pragma once

#include <string>

namespace keil {

// The names of the lock for the lookup folder `folder` and of the count of
// its turns, the same in every session of the machine.
std::wstring FolderLockName(const std::string& folder);
std::wstring FolderTurnName(const std::string& folder);

}  // namespace keil
