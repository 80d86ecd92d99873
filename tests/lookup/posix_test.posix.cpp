// What only a POSIX system can show: a file whose size promises more than
// it holds, and the process that holds the folder lock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include "error.h"
#include "exchange_file.posix.h"
#include "folder_lock.h"
#include "support.h"

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

// A lock held on another open file of the folder, by this very process: the
// wait ends with the error that names it, and once it is free it is taken.
TEST(Lock, HeldTooLongIsNamed) {
    PrepareFolder();
    const int held = ::open(FibuDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    try {
        const FolderLock lock(FibuDir(), std::chrono::milliseconds(200));
        ADD_FAILURE() << "locked";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrLockHeld);
        const std::string holder = "(Prozess " + std::to_string(::getpid()) + " des Benutzers „" +
                                   ::getpwuid(::geteuid())->pw_name + "“).";
        EXPECT_NE(std::string(e.text()).find(holder), std::string::npos) << e.text();
    }
    ::close(held);
    const FolderLock lock(FibuDir(), std::chrono::seconds(10));
}

}  // namespace
}  // namespace keil::test
