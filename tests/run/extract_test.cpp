// The block extraction where the fuzz corpus cannot reach: the worked
// example by hand, and blocks of 2^30 bytes and more.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "run/extract.h"
#include "support.h"
#include "system/error.h"

namespace keil::test {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The worked example of the block rule, pinned by hand. The rule's other
// edges and errors are the fuzz run's, against the independent model of the
// rule (fuzz/), and the whole run's (run_test.cpp).
TEST(Extraction, CutsTheWorkedExample) {
    const std::u16string block = ExtractResultBlock(Bytes(SampleScreen()));
    EXPECT_EQ(block, Widen(SampleBlock()));
    EXPECT_EQ(block.c_str()[block.size()], u'\0') << "written past the block's end";
}

// A label line, a line of `length` bytes and eight more: the block reaches
// from the label's text past the long line, `length` + 9 bytes in all.
std::string LongBlockResponse(std::size_t length) {
    return std::string("Nm   X\n").append(length, 'x').append(9, '\n');
}

TEST(Extraction, BlockOfExactly2To30BytesIsCut) {
    const std::string response = LongBlockResponse((std::size_t{1} << 30) - 9);
    EXPECT_EQ(FindResultBlock(Bytes(response)).size(), std::size_t{1} << 30);
}

TEST(Extraction, BlockOfMoreThan2To30BytesRaisesTheOverflowError) {
    const std::string response = LongBlockResponse(std::size_t{1} << 30);
    EXPECT_EQ(Catch([&] { FindResultBlock(Bytes(response)); }).number, 0x20000001);
}

}  // namespace
}  // namespace keil::test
