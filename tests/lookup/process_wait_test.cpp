#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <functional>

#include "process_wait.h"
#include "process_wait.posix.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0) {
    }
}

// A child that runs `body` and ends with its result.
pid_t Child(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

using Wait = std::int32_t (*)(std::int32_t);

struct ExitCase {
    const char* name;
    std::function<int()> body;
    std::int32_t expected;
};

const ExitCase kExitCases[] = {
    {"ExitCode0", [] { return 0; }, 0},
    {"ExitCode7", [] { return 7; }, 7},
    {"ExitCode255", [] { return 255; }, 255},
    {"KilledBySigkill", [] { return raise(SIGKILL); }, 128 + SIGKILL},
    {"KilledBySigterm", [] { return raise(SIGTERM); }, 128 + SIGTERM},
};

// Both the pidfd wait and the waitpid wait for systems without pidfds.
class ExitCodeTest : public ::testing::TestWithParam<std::tuple<ExitCase, Wait>> {};

TEST_P(ExitCodeTest, ReturnsTheExitCodeAndReapsTheChild) {
    const auto& [c, wait] = GetParam();
    const pid_t pid = Child(c.body);
    EXPECT_EQ(wait(pid), c.expected);
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(
    ProcessWait, ExitCodeTest,
    ::testing::Combine(::testing::ValuesIn(kExitCases),
                       ::testing::Values(&WaitForProcessExit, &WaitForChildExit)),
    [](const auto& p) {
        return std::string(std::get<0>(p.param).name) +
               (std::get<1>(p.param) == &WaitForProcessExit ? "Pidfd" : "Waitpid");
    });

class NoProcessTest : public ::testing::TestWithParam<Wait> {};

TEST_P(NoProcessTest, IdThatNamesNoProcessGivesMinusOne) {
    const pid_t gone = Child([] { return 0; });
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    for (const std::int32_t id : {static_cast<std::int32_t>(gone), 0, -1, -gone, INT_MAX}) {
        EXPECT_EQ(GetParam()(id), -1) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(ProcessWait, NoProcessTest,
                         ::testing::Values(&WaitForProcessExit, &WaitForChildExit));

TEST(ProcessWait, WaitsForALongRunningProcessToItsEnd) {
    const std::string marker = ::testing::TempDir() + "keil-wait-marker";
    std::filesystem::remove(marker);
    const pid_t pid = Child([&] {
        SleepMs(1000);
        WriteFileBytes(marker, "done");
        return 3;
    });
    EXPECT_EQ(WaitForProcessExit(pid), 3);
    EXPECT_EQ(ReadFileBytes(marker), "done");
    std::filesystem::remove(marker);
}

std::atomic<int> alarms{0};

TEST(ProcessWait, TimerSignalsDoNotEndTheWait) {
    struct sigaction onAlarm {};
    onAlarm.sa_handler = [](int) { alarms.fetch_add(1); };
    onAlarm.sa_flags = 0;  // no SA_RESTART: poll sees EINTR
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGALRM, &onAlarm, &previous), 0);
    const itimerval every5ms{{0, 5000}, {0, 5000}};
    const pid_t pid = Child([] {
        SleepMs(300);
        return 9;
    });
    alarms = 0;
    ASSERT_EQ(setitimer(ITIMER_REAL, &every5ms, nullptr), 0);
    const std::int32_t code = WaitForProcessExit(pid);
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(code, 9);
    EXPECT_GT(alarms.load(), 0);
    EXPECT_TRUE(NoChildLeft());
}

TEST(ProcessWait, ManyWaitsLeakNoDescriptor) {
    const int before = CountOpenDescriptors();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(WaitForProcessExit(Child([] { return 1; })), 1);
    }
    EXPECT_EQ(CountOpenDescriptors(), before);
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace keil::test
