#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "error.h"
#include "extract.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// A string literal with every byte, NULs included.
template <std::size_t N>
std::string Raw(const char (&s)[N]) {
    return std::string(s, N - 1);
}

// Twelve lines; line 3 (index 2) is given, the others are plain text
// without a run of three blanks.
std::vector<std::string> TwelveLines(const std::string& line3, const std::string& line1 = "ab") {
    std::vector<std::string> lines = {line1, "Kopf 2", line3};
    for (int i = 4; i <= 12; ++i) lines.push_back("Zeile " + std::to_string(i));
    return lines;
}

// Lines first..last (1-based) of `lines`, each with its ending.
std::string LineRange(const std::vector<std::string>& lines, std::size_t first, std::size_t last,
                      const std::string& ending = "\r\n") {
    return Lines({lines.begin() + static_cast<long>(first - 1), lines.begin() + static_cast<long>(last)},
                 ending);
}

struct BlockCase {
    const char* name;
    std::string response;
    std::string block;
};

const auto kExample = TwelveLines("Firma   Muster GmbH");
const auto kNoRun = TwelveLines("Firma Muster GmbH");
const auto kTrailing = TwelveLines("Firma   Muster GmbH   ");
const auto kFourBlanks = TwelveLines("Firma    Muster GmbH");
const auto kTwoRuns = TwelveLines("Firma   Muster   GmbH");
const auto kRunOneLineUp = [] {
    auto lines = kNoRun;
    lines[1] = "Kopf   2";
    return lines;
}();
const auto kHighBytes = TwelveLines(Raw("Firma   M\xFC" "ller\0\x80\xFF"));
const auto kBlanksAcrossLineFeed = TwelveLines("  x", "ab");

// Line 2 ends with a blank, line 3 starts with two: with bare line feeds
// they stand next to each other, one line feed apart.
std::vector<std::string> WithTrailingBlank(std::vector<std::string> lines) {
    lines[1] += " ";
    return lines;
}

std::string WithoutClosingLineFeed(const std::vector<std::string>& lines) {
    std::string text = Lines(lines);
    return text.substr(0, text.size() - 2);
}

const BlockCase kBlockCases[] = {
    {"WorkedExample", Lines(kExample), "Muster GmbH\r\n" + LineRange(kExample, 4, 10)},
    {"NoRunStartsAtPosition3", Lines(kNoRun), "\n" + LineRange(kNoRun, 2, 10)},
    {"NoClosingLineFeedEndsOneLineEarlier", WithoutClosingLineFeed(kExample),
     "\n" + LineRange(kExample, 2, 9)},
    {"TrailingBlanksStartWithCarriageReturn", Lines(kTrailing), "\r\n" + LineRange(kTrailing, 4, 10)},
    {"FourBlanksCountFromTheRight", Lines(kFourBlanks), "Muster GmbH\r\n" + LineRange(kFourBlanks, 4, 10)},
    {"LastRunOfTheLineWins", Lines(kTwoRuns), "GmbH\r\n" + LineRange(kTwoRuns, 4, 10)},
    {"RunInAnEarlierLine", Lines(kRunOneLineUp), "2\r\n" + LineRange(kRunOneLineUp, 3, 10)},
    {"BareLineFeeds", Lines(kExample, "\n"), "Muster GmbH\n" + LineRange(kExample, 4, 10, "\n")},
    {"TenLineFeedsAfterTwoBytes", "ab" + std::string(10, '\n'), std::string(7, '\n')},
    {"BlanksAcrossALineFeedAreNoRun", Lines(WithTrailingBlank(kBlanksAcrossLineFeed), "\n"),
     LineRange(WithTrailingBlank(kBlanksAcrossLineFeed), 2, 10, "\n")},
    {"HighBytesAndNulAreCopied", Lines(kHighBytes),
     Raw("M\xFC" "ller\0\x80\xFF\r\n") + LineRange(kHighBytes, 4, 10)},
};

class BlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockTest, CutsTheExpectedBlock) {
    const BlockCase& c = GetParam();
    EXPECT_EQ(ExtractResultBlock(Bytes(c.response)), Widen(c.block));
}

INSTANTIATE_TEST_SUITE_P(Extraction, BlockTest, ::testing::ValuesIn(kBlockCases),
                         CaseName());

struct ErrorCase {
    const char* name;
    std::string response;
};

const ErrorCase kRangeCases[] = {
    {"OneByte", "x"},
    {"NineLineFeeds", Lines(std::vector<std::string>(9, "Firma   Muster"))},
    {"TenthLastLineFeedAtPosition0", "\n" + Lines(std::vector<std::string>(9, "Zeile"))},
    {"TenthLastLineFeedAtPosition1", "a\n" + Lines(std::vector<std::string>(9, "Zeile"))},
    {"TenLineFeedsOnly", std::string(10, '\n')},
};

class RangeErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RangeErrorTest, RaisesTheRangeError) {
    try {
        ExtractResultBlock(Bytes(GetParam().response));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrRange);
        EXPECT_NE(std::string(e.text()), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Extraction, RangeErrorTest, ::testing::ValuesIn(kRangeCases),
                         CaseName());

TEST(Extraction, BlockOfMoreThan2To30BytesOverflows) {
    // A label line, then one line of 2^30 bytes, then eight more lines: the
    // block reaches from the label's text past the long line.
    std::vector<std::uint8_t> response(Bytes("Nm   X\n"));
    response.resize(response.size() + (std::size_t{1} << 30), 'x');
    response.insert(response.end(), 9, '\n');
    try {
        ExtractResultBlock(response);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
}

}  // namespace
}  // namespace keil::test
