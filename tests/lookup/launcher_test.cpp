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

TEST(JoinCommandLine, JoinsProgramAndBothRedirections) {
    const std::string dir = FibuDir();
    EXPECT_EQ(JoinCommandLine(), dir + "Lief-adr.exe <" + dir + "in.txt >" + dir + "out.txt");
}

// A program that cannot be started: the launcher's error with the system's
// number and text, and neither a process nor a descriptor left behind.
struct StartFailure {
    const char* name;
    void (*place)(const std::string& path);
    int expectedErrno;
};

const StartFailure kStartFailures[] = {
    {"Missing", [](const std::string&) {}, ENOENT},
    {"NotExecutable",
     [](const std::string& path) { WriteFileBytes(path, "\x7f" "ELF not really"); },
     EACCES},
    {"Directory", [](const std::string& path) { std::filesystem::create_directory(path); }, EACCES},
    {"ScriptWithoutInterpreterLine",
     [](const std::string& path) {
         WriteFileBytes(path, "echo this must not run\n");
         std::filesystem::permissions(path, std::filesystem::perms::owner_all);
     },
     ENOEXEC},
};

class StartFailureTest : public ::testing::TestWithParam<StartFailure> {};

TEST_P(StartFailureTest, RaisesTheSystemErrorAndLeavesNothing) {
    PrepareFolder();
    const std::string program = InFolder("Lief-adr.exe");
    std::filesystem::remove(program);
    GetParam().place(program);
    WriteFileBytes(RequestFilePath(), "adr\r1");
    const int descriptors = CountOpenDescriptors();
    try {
        StartProgram(JoinCommandLine());
        FAIL() << "started";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), GetParam().expectedErrno);
        const std::string text = e.text();
        EXPECT_NE(text.find(program), std::string::npos) << text;
        EXPECT_NE(text.find(std::strerror(GetParam().expectedErrno)), std::string::npos) << text;
    }
    EXPECT_TRUE(NoChildLeft());
    EXPECT_EQ(CountOpenDescriptors(), descriptors);
}

INSTANTIATE_TEST_SUITE_P(Launcher, StartFailureTest, ::testing::ValuesIn(kStartFailures),
                         CaseName());

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
