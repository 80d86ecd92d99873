#include "extract.h"

#include <new>

#include "checked.h"

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

std::u16string ExtractResultBlock(std::span<const std::uint8_t> bytes) {
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
    // was a blank. Starting below position 2 reads position -1: the range
    // error.
    while (p != 2 && k != 11) {
        p = CheckedSub(p, 1);
        if (CheckedAt(bytes, p) == kBlank && CheckedAt(bytes, CheckedSub(p, 1)) == kBlank &&
            CheckedAt(bytes, CheckedSub(p, 2)) == kBlank) {
            k = CheckedAdd(k, 1);
        }
    }
    const std::int32_t blockStart = CheckedAdd(p, 1);

    // The copy works in bytes, two to a character: its last byte position,
    // 2L + 1, must fit 32 bits, which limits a block to 2^30 bytes.
    const std::int32_t last = CheckedSub(blockEnd, blockStart);
    CheckedAdd(CheckedMul(last, 2), 1);
    const std::int32_t length = CheckedAdd(last, 1);
    if (length < 0) ThrowRange();

    std::u16string block;
    try {
        block.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        ThrowAllocation();
    }
    for (std::int32_t i = 0; i < length; i = CheckedAdd(i, 1)) {
        block[static_cast<std::size_t>(i)] = CheckedAt(bytes, CheckedAdd(blockStart, i));
    }
    return block;
}

}  // namespace keil
