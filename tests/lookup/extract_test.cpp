// The edges of the block rule, each pinned by a response and its block; the
// differential fuzz target checks everything else against a model.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "error.h"
#include "extract.h"
#include "support.h"

namespace keil::test {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Twelve lines: "ab", `line2`, `line3`, then "Zeile 4" to "Zeile 12".
std::vector<std::string> Screen(const std::string& line3, const std::string& line2 = "Kopf 2") {
    std::vector<std::string> lines = {"ab", line2, line3};
    for (int i = 4; i <= 12; ++i) lines.push_back("Zeile " + std::to_string(i));
    return lines;
}

// Lines first to last (counted from 1), each with its ending.
std::string Range(const std::vector<std::string>& lines, int first, int last, const std::string& ending = "\r\n") {
    return Lines({lines.begin() + first - 1, lines.begin() + last}, ending);
}

const auto kExample = Screen("Firma   Muster GmbH");
const auto kNoRun = Screen("Firma Muster GmbH");
const auto kTrailing = Screen("Firma   Muster GmbH   ");
const auto kTwoRuns = Screen("Firma   Muster    GmbH");
const auto kRunOneLineUp = Screen("Firma Muster GmbH", "Kopf   2");
// Line 2 ends with a blank and line 3 starts with two: with bare line
// feeds they stand one line feed apart, which breaks the run.
const auto kAcrossLineFeed = Screen("  x", "Kopf 2 ");

struct BlockCase {
    const char* name;
    std::string response;
    std::string block;
};

const BlockCase kBlockCases[] = {
    {"WorkedExample", Lines(kExample), "Muster GmbH\r\n" + Range(kExample, 4, 10)},
    {"NoRunStartsAtPosition3", Lines(kNoRun), "\n" + Range(kNoRun, 2, 10)},
    {"NoClosingLineFeedEndsOneLineEarlier", Lines(kExample).substr(0, Lines(kExample).size() - 2),
     "\n" + Range(kExample, 2, 9)},
    {"TrailingBlanksStartWithCarriageReturn", Lines(kTrailing), "\r\n" + Range(kTrailing, 4, 10)},
    {"LastRunOfTheLineWinsCountedFromTheRight", Lines(kTwoRuns), "GmbH\r\n" + Range(kTwoRuns, 4, 10)},
    {"RunInAnEarlierLine", Lines(kRunOneLineUp), "2\r\n" + Range(kRunOneLineUp, 3, 10)},
    {"BareLineFeeds", Lines(kExample, "\n"), "Muster GmbH\n" + Range(kExample, 4, 10, "\n")},
    {"TenLineFeedsAfterTwoBytes", "ab" + std::string(10, '\n'), std::string(7, '\n')},
    {"BlanksAcrossALineFeedAreNoRun", Lines(kAcrossLineFeed, "\n"), Range(kAcrossLineFeed, 2, 10, "\n")},
};

TEST(Extraction, CutsTheExpectedBlock) {
    for (const BlockCase& c : kBlockCases) {
        const std::u16string block = ExtractResultBlock(Bytes(c.response));
        EXPECT_EQ(block, Widen(c.block)) << c.name;
        EXPECT_EQ(block.c_str()[block.size()], u'\0') << c.name << ": written past the block's end";
    }
}

// A label line, a line of `length` bytes and eight more: the block reaches
// from the label's text past the long line, `length` + 9 bytes in all.
std::string LongBlockResponse(std::size_t length) {
    return std::string("Nm   X\n").append(length, 'x').append(9, '\n');
}

TEST(Extraction, BlockOfExactly2To30BytesIsCut) {
    const std::string response = LongBlockResponse((std::size_t{1} << 30) - 9);
    EXPECT_EQ(ExtractResultBlock({reinterpret_cast<const std::uint8_t*>(response.data()), response.size()}).size(),
              std::size_t{1} << 30);
}

TEST(Extraction, RaisesTheRangeAndTheOverflowError) {
    const std::string nineLines = Lines(std::vector<std::string>(9, "Firma   Muster"));
    const std::pair<std::string, std::int32_t> cases[] = {
        {"x", 0x20000002}, {nineLines, 0x20000002}, {"\n" + nineLines, 0x20000002},
        {"a\n" + nineLines, 0x20000002}, {std::string(10, '\n'), 0x20000002},
        {LongBlockResponse(std::size_t{1} << 30), 0x20000001},
    };
    for (const auto& [response, number] : cases) {
        try {
            ExtractResultBlock({reinterpret_cast<const std::uint8_t*>(response.data()), response.size()});
            ADD_FAILURE() << "no error for " << response.size() << " bytes";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), number) << response.size() << " bytes";
        }
    }
}

}  // namespace
}  // namespace keil::test
