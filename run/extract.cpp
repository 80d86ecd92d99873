#include "run/extract.h"

#include <new>

#include "run/checked.h"
#include "shared_folder/exchange_file.h"

namespace keil {
namespace {

constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kBlank = 0x20;

// Steps p backwards until it reaches `floor` or k reaches `stop`, counting
// the line feeds it passes.
void CountLineFeedsBackwards(std::span<const std::uint8_t> bytes, std::int32_t& p,
                             std::int32_t& k, std::int32_t stop) {
    while (p != 0 && k != stop) {
        p = CheckedSub(p, 1);
        if (CheckedAt(bytes, p) == kLineFeed) k = CheckedAdd(k, 1);
    }
}

}  // namespace

std::span<const std::uint8_t> FindResultBlock(std::span<const std::uint8_t> bytes) {
    const std::int32_t n = CheckedInt32(bytes.size());

    // First scan: back to the third line feed from the end, the block end.
    std::int32_t p = n;
    std::int32_t k = 0;
    CountLineFeedsBackwards(bytes, p, k, 3);
    const std::int32_t blockEnd = p;

    // Second scan: on to the tenth line feed from the end.
    CountLineFeedsBackwards(bytes, p, k, 10);

    // Third scan: back to the nearest run of three blanks. The run is tested
    // from its right end, and a byte is read only when the one to its right
    // was a blank. It stops at position 2 because a run of three needs the
    // two bytes before its last: position 2 is the last whose run still
    // lies inside the buffer (positions 2, 1 and 0), so a screen without a
    // run starts its block just after it, at position 3. Starting below
    // position 2 (fewer than ten line feeds, or the tenth at position 0 or
    // 1) reads position -1: the range error.
    while (p != 2 && k != 11) {
        p = CheckedSub(p, 1);
        if (CheckedAt(bytes, p) == kBlank && CheckedAt(bytes, CheckedSub(p, 1)) == kBlank &&
            CheckedAt(bytes, CheckedSub(p, 2)) == kBlank) {
            k = CheckedAdd(k, 1);
        }
    }
    const std::int32_t blockStart = CheckedAdd(p, 1);

    // Why a block ends at 2^30 bytes: the copy works in bytes, two to each
    // 16-bit character, and its last byte position, 2L + 1, is a 32-bit
    // signed value like every other position. L of 2^30 would make it
    // 2^31 + 1, which does not fit; such a block is the overflow error
    // rather than a copy whose size has wrapped. No screen comes near it.
    const std::int32_t last = CheckedSub(blockEnd, blockStart);
    CheckedAdd(CheckedMul(last, 2), 1);
    const std::int32_t length = CheckedAdd(last, 1);
    if (length < 0) ThrowRange();
    // Both ends lie inside the response: the first byte and the last.
    CheckedAt(bytes, blockStart);
    CheckedAt(bytes, CheckedSub(CheckedAdd(blockStart, length), 1));
    return bytes.subspan(static_cast<std::size_t>(blockStart), static_cast<std::size_t>(length));
}

std::u16string ExtractResultBlock(std::span<const std::uint8_t> bytes) {
    const std::span<const std::uint8_t> block = FindResultBlock(bytes);
    std::u16string text;
    try {
        text.resize(block.size());
    } catch (const std::bad_alloc&) {
        ThrowAllocation();
    }
    for (std::size_t i = 0; i < block.size(); ++i) text[i] = block[i];
    return text;
}

}  // namespace keil
