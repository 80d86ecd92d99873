#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "error.h"
#include "fixed_paths.h"
#include "launcher.h"
#include "process_wait.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

struct SplitCase {
    const char* line;
    const char* program;
    const char* input;
    const char* output;
};

TEST(SplitCommandLine, SplitsAtFirstInputAndLastOutputSign) {
    const SplitCase cases[] = {
        {"/c/fibu/Lief-adr.exe </c/fibu/in.txt >/c/fibu/out.txt", "/c/fibu/Lief-adr.exe",
         "/c/fibu/in.txt", "/c/fibu/out.txt"},
        {R"(c:\fibu\Lief-adr.exe <c:\fibu\in.txt >c:\fibu\out.txt)", R"(c:\fibu\Lief-adr.exe)",
         R"(c:\fibu\in.txt)", R"(c:\fibu\out.txt)"},
        {"/my dir/p <in file >out file", "/my dir/p", "in file", "out file"},
    };
    for (const auto& c : cases) {
        const CommandParts parts = SplitCommandLine(c.line);
        EXPECT_EQ(parts.program, c.program) << c.line;
        EXPECT_EQ(parts.input, c.input) << c.line;
        EXPECT_EQ(parts.output, c.output) << c.line;
    }
}

TEST(SplitCommandLine, RejectsLinesWithoutBothRedirections) {
    for (const char* line : {"", "/p", "/p <in", "/p >out", "/p >out <in", " <in >out", "/p < >out",
                             "/p <in >"}) {
        try {
            SplitCommandLine(line);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrCommandLine) << line;
        }
    }
}

TEST(Launcher, ResponseFileIsTruncatedAndStandardErrorInherited) {
    PrepareFolder("respond answer.bin\n");
    WriteFileBytes(InFolder("answer.bin"), "abc");
    WriteFileBytes(ResponseFilePath(), std::string(100, 'x'));
    WriteFileBytes(RequestFilePath(), "adr\r1");
    {
        LaunchedProcess process = StartProgram(JoinCommandLine());
        EXPECT_EQ(WaitForProcessExit(static_cast<std::int32_t>(process.id())), 0);
    }
    EXPECT_EQ(ReadFileBytes(ResponseFilePath()), "abc");
    char ownStderr[4096] = {};
    ASSERT_GT(readlink("/proc/self/fd/2", ownStderr, sizeof ownStderr - 1), 0);
    EXPECT_EQ(ReportValue("stderr"), ownStderr);
    EXPECT_TRUE(NoChildLeft());
}

TEST(Launcher, ChildGetsOnlyItsThreeStandardDescriptorsAndDefaultSignals) {
    PrepareFolder();
    WriteFileBytes(RequestFilePath(), "adr\r1");
    // Ignore SIGPIPE, block SIGUSR1 and hold an inheritable descriptor: none
    // of it may reach the child.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGPIPE, &ignore, &previous);
    sigset_t usr1, oldMask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigprocmask(SIG_BLOCK, &usr1, &oldMask);
    const int leaky = ::open("/dev/null", O_RDONLY);  // no O_CLOEXEC on purpose
    ASSERT_GE(leaky, 0);
    {
        LaunchedProcess process = StartProgram(JoinCommandLine());
        WaitForProcessExit(static_cast<std::int32_t>(process.id()));
    }
    ::close(leaky);
    sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &previous, nullptr);

    EXPECT_EQ(ReportValue("argc"), "1");
    EXPECT_EQ(ReportValue("extra_fds"), "");
    EXPECT_EQ(ReportValue("sigpipe"), "default");
    EXPECT_EQ(ReportValue("blocked"), "");
}

}  // namespace
}  // namespace keil::test
