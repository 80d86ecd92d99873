// What only a POSIX system can show: a file whose size promises more than
// it holds, and a process that is not this one's child.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "error.h"
#include "files.h"
#include "process_wait.h"

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

TEST(ProcessWait, ProcessOfAnotherParentIsWaitedForWithExitCode0) {
    int ids[2];
    ASSERT_EQ(::pipe(ids), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::_exit(5);
        }
        _exit(::write(ids[1], &grandchild, sizeof grandchild) == sizeof grandchild ? 0 : 1);
    }
    pid_t grandchild = 0;
    ASSERT_EQ(::read(ids[0], &grandchild, sizeof grandchild), static_cast<ssize_t>(sizeof grandchild));
    ::waitpid(child, nullptr, 0);
    // Its exit code is its parent's to take; the wait gives 0.
    EXPECT_EQ(WaitForProcessExit(grandchild), 0);
    ::close(ids[0]);
    ::close(ids[1]);
}

}  // namespace
}  // namespace keil::test
