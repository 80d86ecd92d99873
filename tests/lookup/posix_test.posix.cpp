// What only a POSIX system can show: a file whose size promises more than
// it holds.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "error.h"
#include "exchange_file.posix.h"

namespace keil::test {
namespace {

TEST(Files, ResponseShorterThanItsSizeIsAnError) {
    // sysfs gives every attribute the size of a page, however short it is.
    const int fd = ::open("/sys/devices/system/cpu/online", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    try {
        ReadWholeResponse(fd, "online");
        ADD_FAILURE() << "read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 0x20000005);
    }
    ::close(fd);
}

}  // namespace
}  // namespace keil::test
