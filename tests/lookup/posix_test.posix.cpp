// What only a POSIX system can show: a file whose size promises more than
// it holds.

#include <gtest/gtest.h>

#include "error.h"
#include "files.h"

namespace keil::test {
namespace {

TEST(Files, ResponseShorterThanItsSizeIsAnError) {
    // sysfs gives every attribute the size of a page, however short it is.
    try {
        ReadResponseFile("/sys/devices/system/cpu/online");
        FAIL() << "read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 0x20000005);
    }
}

}  // namespace
}  // namespace keil::test
