#pragma once

#include <string>

#include "files.h"
#include "windows_support.windows.h"

namespace keil {

// Opens the exchange file `role` (kRequestRole, kResponseRole) at
// `path` as a plain file with a single link, never what a link or other
// reparse point leads to, and empties it for kWriteNew once it is known to
// be one. `inheritable` lets a started program have the handle.
UniqueHandle OpenExchangeFile(const std::string& path, ExchangeAccess access, const std::string& role,
                              bool inheritable = false);

}  // namespace keil
