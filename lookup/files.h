#pragma once

// The file services of the lookup run, with the system's error numbers.
//
// The exchange files live only for the length of one run, so they are only
// ever used as plain files with a single link: a symbolic link, a link to
// another file, a folder, a named pipe or a device in their place raises
// the error kErrNotPlainFile, and nothing behind it is read, written or
// truncated. Opening one never blocks.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace keil {

// Writes `bytes` as the whole content of the request file at `path`,
// creating it when it does not exist and truncating it when it does.
void WriteRequestFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads the whole response file at `path`. A file of 2^31 bytes or more
// raises an error instead of being read; a buffer that cannot be made
// raises the allocation error.
std::vector<std::uint8_t> ReadResponseFile(const std::string& path);

// Deletes the file at `path`; a file that does not exist is an error.
void RemoveFile(const std::string& path);

// The exchange files' names in the program's messages.
inline constexpr const char* kRequestRole = "Anfragedatei";
inline constexpr const char* kResponseRole = "Antwortdatei";

// How an exchange file is opened: for reading, or for writing from its
// start, created when missing and emptied when present.
enum class ExchangeAccess { kRead, kWriteNew };

}  // namespace keil
