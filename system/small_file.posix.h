#pragma once

#include <string>

namespace keil {

// The whole text of the small file at `path`, a file of /proc as a rule;
// "" where it cannot be opened, and what was read where a read fails: a
// process that ends meanwhile takes its files with it (ESRCH), and the
// standard library's file streams throw on such a failure.
std::string ReadSmallFile(const std::string& path);

}  // namespace keil
