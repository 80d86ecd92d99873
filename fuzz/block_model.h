#pragma once

// A second, independent statement of the result block rule, written from
// lines and runs of blanks instead of backward scans, to check the
// extraction against.

#include <cstdint>
#include <span>
#include <string>

namespace keil::fuzz {

struct Outcome {
    std::int32_t error = 0;  // 0, or the number of the error raised
    std::u16string block;
    bool operator==(const Outcome&) const = default;
};

// The rule: the block reaches from the first byte after the last run of
// three or more blanks in the line closed by the tenth-last line feed, or in
// the nearest earlier line that has one, or else from position 3, to the
// end of the line closed by the third-last line feed, that line feed
// included. Fewer than ten line feeds, or the tenth-last at position 0 or 1,
// is the range error; a block of more than 2^30 bytes the overflow error.
Outcome ModelResultBlock(std::span<const std::uint8_t> bytes);

// What the extraction gives for the same bytes, in the same form.
Outcome ExtractionOutcome(std::span<const std::uint8_t> bytes);

}  // namespace keil::fuzz
