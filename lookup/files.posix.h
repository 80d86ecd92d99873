#pragma once

#include <string>

#include "files.h"
#include "unique_fd.posix.h"

namespace keil {

// Opens the exchange file `role` (kRequestRole, kResponseRole) at
// `path` as a plain file with a single link, without following a symbolic
// link and without blocking, and empties it for kWriteNew once it is known
// to be one. The descriptor is close-on-exec and blocking.
UniqueFd OpenExchangeFile(const std::string& path, ExchangeAccess access, const std::string& role);

}  // namespace keil
