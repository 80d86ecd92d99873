// What only a POSIX launcher shows: a window that was started ignoring a
// signal (nohup) goes on ignoring it, a lookup program whose window ended
// before it was set up never runs, and the checked folder may be any
// descriptor.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "process/launcher.posix.h"
#include "shared_folder/exchange_file.h"
#include "support.h"

namespace keil::test {
namespace {

TEST(Launcher, ASignalIgnoredAtTheStartStaysIgnored) {
    struct sigaction hangUp {};
    struct sigaction terminate {};
    ::signal(SIGHUP, SIG_IGN);
    EndLookupProgramWithThisProgram();
    ::sigaction(SIGHUP, nullptr, &hangUp);
    ::sigaction(SIGTERM, nullptr, &terminate);
    EXPECT_EQ(hangUp.sa_handler, SIG_IGN);
    EXPECT_NE(terminate.sa_handler, SIG_DFL);
    for (const int signal : {SIGHUP, SIGTERM, SIGINT, SIGQUIT}) ::signal(signal, SIG_DFL);
}

TEST(Launcher, AProgramWhoseWindowEndedBeforeItWasSetUpNeverRuns) {
    PrepareFolder("");
    const ExchangeFiles files(FixedExchangePlace(), nullptr);
    // This process's parent stands for a window other than the one that
    // is the program's parent now.
    LaunchedProcess process =
        StartProgramWatching(InFolder("Lief-adr.exe"), files.request.native(), files.response.native(), ::getppid());
    EXPECT_EQ(process.WaitForAll(nullptr).exitCode, 127);
    EXPECT_FALSE(FileExists(InFolder("fake-runs.txt")));
}

// Started with its standard input closed, the window may get descriptor 0
// for the checked folder, which the lookup program then starts from. The
// window's signal mask is as it was after the start.
TEST(Launcher, StartsFromAFolderAtDescriptor0) {
    PrepareFolder("");
    const ExchangeFiles files(FixedExchangePlace(), nullptr);
    sigset_t usr1, after;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
    const int saved = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    ::close(STDIN_FILENO);
    const int folder = ::open(FibuDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(folder, STDIN_FILENO);
    LaunchedProcess process =
        StartProgram(InFolder("Lief-adr.exe"), files.request.native(), files.response.native(), folder);
    ::pthread_sigmask(SIG_BLOCK, nullptr, &after);
    EXPECT_TRUE(sigismember(&after, SIGUSR1));
    ::pthread_sigmask(SIG_UNBLOCK, &usr1, nullptr);
    EXPECT_EQ(process.WaitForAll(nullptr).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(InFolder("fake-runs.txt")), "run\nend\n");
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
}

}  // namespace
}  // namespace keil::test
