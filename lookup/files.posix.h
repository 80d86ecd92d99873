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

// Creates the response file at `path` anew, exclusively, close-on-exec. A
// file left there by an earlier run must be a plain file with a single
// link, as every exchange file, and is removed first: a lookup program of
// that run that still writes into it then writes into a file that is no
// longer in the folder.
UniqueFd CreateResponseFile(const std::string& path);

}  // namespace keil
