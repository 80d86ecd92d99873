#pragma once

// The file services of the lookup run, with the system's error numbers.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace keil {

// Writes `bytes` as the whole content of the file at `path`, creating it
// when it does not exist and truncating it when it does.
void WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads the whole file at `path`. A file of 2^31 bytes or more raises an
// error instead of being read; a buffer that cannot be made raises the
// allocation error.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Deletes the file at `path`; a file that does not exist is an error.
void RemoveFile(const std::string& path);

}  // namespace keil
