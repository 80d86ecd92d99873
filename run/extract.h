#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace keil {

// Cuts the result block out of the lookup program's response.
//
// The block ends with the third line feed from the end of the response. It
// starts just after the nearest run of three blanks found backwards from
// the tenth line feed from the end, or at position 3 when there is none.
//
// Raises the range error when the response holds fewer than ten line feeds
// or its tenth line feed from the end stands at position 0 or 1, and the
// overflow error for a block of more than 2^30 bytes. Only the tail of the
// response is read.
//
// The block as the bytes of the response that it is made of, which are
// shown without copying them first.
std::span<const std::uint8_t> FindResultBlock(std::span<const std::uint8_t> bytes);

// The block as a string: each byte becomes the character of the same code
// (0 to 255); no code page is involved.
std::u16string ExtractResultBlock(std::span<const std::uint8_t> bytes);

}  // namespace keil
