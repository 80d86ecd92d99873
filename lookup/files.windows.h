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

// Creates the response file at `path` anew, exclusively. A file left there
// by an earlier run must be a plain file with a single link, as every
// exchange file, and is removed first: a lookup program of that run that
// still writes into it then writes into a file that is no longer in the
// folder. `inheritable` lets a started program have the handle.
UniqueHandle CreateResponseFile(const std::string& path, bool inheritable);

}  // namespace keil
