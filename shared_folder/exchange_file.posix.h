#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace keil {

// Reads the whole response file open at `fd` from offset 0, as
// ExchangeFile::ReadAll does; `path` names it in errors.
std::vector<std::uint8_t> ReadWholeResponse(int fd, const std::string& path);

}  // namespace keil
