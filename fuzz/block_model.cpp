#include "block_model.h"

#include <optional>
#include <vector>

#include "run/extract.h"
#include "system/error.h"

namespace keil::fuzz {

namespace {

// The rightmost blank of the last run of three or more blanks in
// bytes[begin, end), if the line has such a run.
std::optional<std::size_t> LastRunEnd(std::span<const std::uint8_t> bytes, std::size_t begin,
                                      std::size_t end) {
    std::optional<std::size_t> last;
    std::size_t runLength = 0;
    for (std::size_t i = begin; i < end; ++i) {
        runLength = bytes[i] == ' ' ? runLength + 1 : 0;
        if (runLength >= 3 && (i + 1 == end || bytes[i + 1] != ' ')) last = i;
    }
    return last;
}

}  // namespace

Outcome ModelResultBlock(std::span<const std::uint8_t> bytes) {
    std::vector<std::size_t> lineEnds;  // position of each line feed
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') lineEnds.push_back(i);
    }
    if (lineEnds.size() < 10) return {kErrRange, {}};
    const std::size_t tenthLine = lineEnds.size() - 10;
    if (lineEnds[tenthLine] < 2) return {kErrRange, {}};
    const std::size_t end = lineEnds[lineEnds.size() - 3];

    std::size_t start = 3;
    for (std::size_t line = tenthLine + 1; line-- > 0;) {
        const std::size_t lineBegin = line == 0 ? 0 : lineEnds[line - 1] + 1;
        if (const auto runEnd = LastRunEnd(bytes, lineBegin, lineEnds[line])) {
            start = *runEnd + 1;
            break;
        }
    }
    if (end - start >= (std::size_t{1} << 30)) return {kErrOverflow, {}};
    return {0, std::u16string(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                              bytes.begin() + static_cast<std::ptrdiff_t>(end) + 1)};
}

Outcome ExtractionOutcome(std::span<const std::uint8_t> bytes) {
    try {
        return {0, ExtractResultBlock(bytes)};
    } catch (const Error& e) {
        return {e.number(), {}};
    }
}

}  // namespace keil::fuzz
