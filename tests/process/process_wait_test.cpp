// The wait for the lookup program, with the fake lookup program started by
// the launcher, through signals that interrupt this process meanwhile.

#include <gtest/gtest.h>

#include <climits>

#include "process/launcher.h"
#include "process/process_wait.h"
#include "shared_folder/exchange_file.h"
#include "support.h"
#include "system/error.h"

namespace keil::test {
namespace {

LaunchedProcess StartFake(const std::string& mode) {
    PrepareFolder(mode);
    const ExchangeFiles files(FixedExchangePlace(), nullptr);
    return StartProgram(InFolder("Lief-adr.exe"), files.request.native(), files.response.native());
}

struct ExitCase {
    const char* name;
    const char* mode;
    std::int32_t expected;
    Platform only = kBothPlatforms;
};

const ExitCase kExitCases[] = {
    {"ExitCode7", "exit 7", 7},
    {"ExitCode255", "exit 255", 255},
    {"ExitCodeAbove2To31ComesBackNegative", "exit -2", -2, kWindowsOnly},
    {"KilledBySigkill", "signal 9", 128 + 9, kPosixOnly},
    // Waited for to its end: an early return would give another code.
    {"RunsASecond", "sleep-ms 1000\nexit 3", 3},
};

TEST(ProcessWait, ReturnsTheExitCodeOrMinusOneAndLeavesNoProcess) {
    for (const Wait& wait : kWaits) {
        for (const ExitCase& c : kExitCases) {
            if (!OnThisPlatform(c.only)) continue;
            {
                const LaunchedProcess process = StartFake(c.mode);
                InterruptThisProcessOften(true);
                const std::int32_t code = wait.wait(static_cast<std::int32_t>(process.id()));
                InterruptThisProcessOften(false);
                EXPECT_EQ(code, c.expected) << c.name << wait.name;
            }
            EXPECT_TRUE(NoChildLeft()) << c.name << wait.name;
        }
        // An ID that names no process, one of an ended process included.
        std::int32_t gone = 0;
        {
            const LaunchedProcess process = StartFake("");
            gone = static_cast<std::int32_t>(process.id());
            ASSERT_EQ(wait.wait(gone), 0) << wait.name;
        }
        WaitUntilGone(gone);
        for (const std::int32_t id : {gone, 0, -1, INT_MAX}) EXPECT_EQ(wait.wait(id), -1) << id << wait.name;
    }
}

// Whether a lookup program broke off, and what the message calls the cause.
struct EndCase {
    std::uint32_t exitCode;
    std::int32_t signal;
    const char* cause;  // "" when it did not break off
    Platform only = kBothPlatforms;
};

const EndCase kEndCases[] = {
    {0, 0, ""},
    {7, 0, ""},
    {128 + 11, 0, ""},  // exit(139) is the program's own choice
    {0xBFFFFFFF, 0, ""},
    {0xFFFFFFFF, 0, ""},  // exit(-1)
    {0xC0000000, 0, "die Ausnahme 0xC0000000"},
    {0xC0000005, 0, "die Ausnahme 0xC0000005"},
    {0xDFFFFFFF, 0, "die Ausnahme 0xDFFFFFFF"},
    // A code with the customer bit is a program's own: exit(-2), or a
    // code of its runtime's (0xE06D7363, a C++ exception).
    {0xE0000000, 0, ""},
    {0xFFFFFFFE, 0, ""},
    {128 + 11, 11, "das Signal 11 (SIGSEGV)", kPosixOnly},
    {128 + 25, 25, "das Signal 25 (SIGXFSZ)", kPosixOnly},
};

TEST(ProcessEnd, BrokeOffOnlyBySignalOrException) {
    for (const EndCase& c : kEndCases) {
        if (!OnThisPlatform(c.only)) continue;
        const ProcessEnd end{static_cast<std::int32_t>(c.exitCode), c.signal};
        EXPECT_EQ(BrokeOff(end), *c.cause != '\0') << c.exitCode;
        if (BrokeOff(end)) {
            EXPECT_EQ(BreakOffCause(end), c.cause);
        }
    }
}

}  // namespace
}  // namespace keil::test
