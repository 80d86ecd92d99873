// The wait and the launcher on Windows, with the fake lookup program
// started by the launcher from the lookup folder.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <climits>

#include "error.h"
#include "files.h"
#include "fixed_paths.h"
#include "launcher.h"
#include "process_wait.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

LaunchedProcess StartFake(const std::string& mode) {
    PrepareFolder(mode);
    WriteFileBytes(RequestFilePath(), "adr\r1");
    return StartProgram(JoinCommandLine());
}

struct ExitCase {
    const char* name;
    const char* mode;
    std::int32_t expected;
};

const ExitCase kExitCases[] = {
    {"ExitCode0", "exit 0\n", 0},
    {"ExitCode7", "exit 7\n", 7},
    {"ExitCode255", "exit 255\n", 255},
    {"ExitCodeAbove2To31ComesBackNegative", "exit -2\n", -2},
    // An exit code that cannot be told from STILL_ACTIVE (259) had the wait
    // returned early.
    {"RunsASecondAndIsWaitedFor", "sleep-ms 1000\nexit 3\n", 3},
};

class ExitCodeTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodeTest, ReturnsTheExitCode) {
    const LaunchedProcess process = StartFake(GetParam().mode);
    EXPECT_EQ(WaitForProcessExit(static_cast<std::int32_t>(process.id())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ProcessWait, ExitCodeTest, ::testing::ValuesIn(kExitCases), CaseName());

TEST(ProcessWait, IdThatNamesNoProcessGivesMinusOne) {
    std::int32_t gone = 0;
    {
        const LaunchedProcess process = StartFake("");
        gone = static_cast<std::int32_t>(process.id());
        ASSERT_EQ(WaitForProcessExit(gone), 0);
    }  // the last handle to the process closes here
    // Wine lets go of an ended process a little after its last handle
    // closed; until then its ID still names it.
    for (int i = 0; i < 100; ++i) {
        const HANDLE still = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(gone));
        if (still == nullptr) break;
        ::CloseHandle(still);
        ::Sleep(50);
    }
    for (const std::int32_t id : {gone, 0, -1, INT_MAX}) EXPECT_EQ(WaitForProcessExit(id), -1) << id;
}

TEST(Launcher, MissingProgramRaisesTheSystemError) {
    PrepareFolder();
    RemoveFile(InFolder("Lief-adr.exe"));
    WriteFileBytes(RequestFilePath(), "adr\r1");
    try {
        StartProgram(JoinCommandLine());
        FAIL() << "started";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 2);  // ERROR_FILE_NOT_FOUND
        EXPECT_NE(std::string(e.text()).find("Lief-adr.exe"), std::string::npos) << e.text();
    }
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace keil::test
