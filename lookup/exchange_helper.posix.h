#pragma once

// The exchange helper of this process: the setgid program that makes and
// removes the exchange files in the lookup folder, which clerks may not
// write themselves (see exchange/). It is started on the first use and
// ends when this process does.

#include <cstdint>
#include <string>

#include "unique_fd.posix.h"

namespace keil {

// Makes the exchange file `role` (kRequestRole, kResponseRole) at `path`
// anew through the helper and returns its descriptor, open for reading and
// writing, close-on-exec. A leftover plain file at the name is removed;
// anything else there raises kErrNotPlainFile and stays.
UniqueFd MakeExchangeFile(const std::string& role, const std::string& path);

// Removes the exchange file `role` that the helper made for this process,
// while its name still leads to it; another file at the name raises
// kErrReplaced and stays.
void RemoveExchangeFile(const std::string& role, const std::string& path);

// What stands at an exchange file's name instead of a plain file, by its
// st_mode, in the words of kErrNotPlainFile's text.
std::string OddityOfMode(std::uint32_t mode);

}  // namespace keil
