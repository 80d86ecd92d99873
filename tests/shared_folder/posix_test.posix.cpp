// What only a POSIX system can show: a file whose size promises more than
// it holds or more than the run reads, the user whose run holds the folder
// lock, and a helper that died or stopped.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "shared_folder/exchange_file.posix.h"
#include "shared_folder/helper_client.posix.h"
#include "support.h"
#include "system/error.h"
#include "system/small_file.posix.h"
#include "system/unique_fd.posix.h"

namespace keil::test {
namespace {

// This process's helper, found by its name among its children.
pid_t HelperPid() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream children(task.path() / "children");
        for (pid_t pid = 0; children >> pid;) {
            if (ReadFileBytes("/proc/" + std::to_string(pid) + "/comm") == "keilbrecher-exc\n") return pid;
        }
    }
    return 0;
}

// A file of /proc whose read fails (here a folder's; a process that ended
// meanwhile fails with ESRCH) gives what was read, and throws nothing.
TEST(Files, ASmallFileWhoseReadFailsGivesWhatWasRead) {
    EXPECT_EQ(ReadSmallFile("/proc/self"), "");
    EXPECT_EQ(ReadSmallFile("/nowhere"), "");
    EXPECT_TRUE(ReadSmallFile("/proc/self/stat").starts_with(std::to_string(::getpid()) + " ("));
}

TEST(Files, ResponseShorterThanItsSizeOrLargerThanReadIsAnError) {
    // sysfs gives every attribute the size of a page, however short it is.
    const UniqueFd fd(::open("/sys/devices/system/cpu/online", O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.valid());
    EXPECT_EQ(Catch([&] { ReadWholeResponse(fd.get(), "online"); }).number, kErrResponseChanged);
    // A response of 2 GiB, which the lookup program itself cannot write.
    PrepareFolder();
    const UniqueFd large(::open(InFolder("large.bin").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_EQ(::ftruncate(large.get(), off_t{1} << 31), 0);
    EXPECT_EQ(Catch([&] { ReadWholeResponse(large.get(), "large.bin"); }).number, kErrResponseTooLarge);
}

// A lock taken by a process that then started another, handing the lock
// on, and ended, held for longer than a wait for a colleague was once
// allowed to last: the run's helper waits for it, the window that waits
// meanwhile keeps responding and after two seconds names the user of the
// process that holds the lock now, which its descriptors tell; once the
// lock is free, the run shows its record.
TEST(Lock, AHolderThatForkedIsNamedByTheProcessThatHoldsItNow) {
    PrepareResponse(SampleScreen());
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    const pid_t taker = ::fork();
    if (taker == 0) {
        const int folder = ::open(FibuDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0 || ::flock(folder, LOCK_EX) != 0) ::_exit(1);
        const pid_t holder = ::fork();
        if (holder == 0) {
            ::usleep(2500 * 1000);
            ::_exit(0);
        }
        (void)::write(pipe[1], &holder, sizeof holder);
        ::_exit(0);
    }
    ::close(pipe[1]);
    pid_t holder = 0;
    ASSERT_EQ(::read(pipe[0], &holder, sizeof holder), static_cast<ssize_t>(sizeof holder));
    ::close(pipe[0]);
    ASSERT_EQ(::waitpid(taker, nullptr, 0), taker);
    Recorder waiting;
    waiting.LookUp(1);
    // The holder is this process's child as the subreaper of the taker, or
    // init's.
    (void)::waitpid(holder, nullptr, 0);
    EXPECT_EQ(waiting.shown, SampleBlock());
    EXPECT_GT(waiting.waits, 1);
    const std::string user = ::getpwuid(::geteuid())->pw_name;
    EXPECT_EQ(waiting.FirstSpoken(), "Eine andere Suche (Benutzer „" + user +
                                           "“) ist gerade an der Reihe; der Keilbrecher wartet seit 2\u00A0Sekunden. "
                                           "(spoken)");
}

// The room of a response, kept at each turn: one that reached the end of
// what was reserved at a turn is not believed, and the disk's room says
// why. (One that grows within what is reserved ahead of it at each turn:
// the run's SixteenMiBBeforeTheScreen.)
TEST(Room, OutranAtATurnIsNotBelieved) {
    PrepareFolder();
    const auto write = [](const ExchangeFile& file, std::int64_t size) {
        ASSERT_EQ(::ftruncate(file.native(), static_cast<off_t>(size)), 0);
    };
    ExchangeFiles files(FixedExchangePlace(), nullptr);
    ResponseRoom room(files.response);
    write(files.response, kResponseRoom - 1);
    room.Keep();
    EXPECT_EQ(room.verdict(), ResponseRoom::Verdict::kWhole);
    write(files.response, 2 * kResponseRoom);
    room.Keep();
    EXPECT_EQ(room.verdict(), ResponseRoom::Verdict::kOutran);
    files.Remove();
}

// A helper that died while idle (another program ended it) is started
// again for the next lookup, which shows its record.
TEST(Helper, DiedWhileIdleIsStartedAgain) {
    PrepareResponse(SampleScreen());
    Recorder first;
    first.LookUp(1);
    const pid_t helper = HelperPid();
    ASSERT_EQ(::kill(helper, SIGKILL), 0);
    // Its end is seen by its client only, which reaps it.
    for (int i = 0; i < 100 && ReadFileBytes("/proc/" + std::to_string(helper) + "/stat").find(") Z ") == std::string::npos; ++i) {
        ::usleep(10 * 1000);
    }
    Recorder next;
    next.LookUp(2);
    EXPECT_EQ(next.shown, SampleBlock());
    EXPECT_NE(HelperPid(), helper);
}


// Killed during a run, after its block was made, the helper is not taken
// for missing, nor for not set up; stopped while idle, it is not taken for
// another clerk's lookup, and the wait ends once nobody has held the lock
// for the grace. The next lookup works.
TEST(Helper, EndedDuringARunOrStoppedIsNamedAsSuch) {
    // Kills it once the lookup program runs, not while it makes the files:
    // a slow helper (a sanitizer's build) gives the window a turn then.
    class KillingWindow : public Recorder {
    public:
        void Pump() override {
            if (!killed && FileExists(InFolder("fake-runs.txt"))) killed = ::kill(HelperPid(), SIGKILL) == 0;
        }
        bool killed = false;
    };
    PrepareResponse(SampleScreen(), "sleep-ms 300\n");
    KillingWindow killing;
    const Raised ended = Catch([&] { killing.LookUp(1); });
    EXPECT_EQ(ended.number, kErrHelperFailed);
    EXPECT_NE(ended.text.find("hat sich während der Suche unerwartet beendet"), std::string::npos) << ended.text;
    EXPECT_EQ(killing.shown, SampleBlock());

    PrepareResponse(SampleScreen());
    Recorder first;
    first.LookUp(1);
    const pid_t idle = HelperPid();
    ASSERT_EQ(::kill(idle, SIGSTOP), 0);
    const Raised stopped = Catch([] { MakeExchangeFiles(FixedExchangePlace(), nullptr); });
    EXPECT_EQ(stopped.number, kErrHelperFailed);
    EXPECT_NE(stopped.text.find("(Prozess " + std::to_string(idle) + ") antwortet nicht"), std::string::npos)
        << stopped.text;
    Recorder after;
    after.LookUp(2);
    EXPECT_EQ(after.shown, SampleBlock());
}

// A helper that a failed lookup ended while signals interrupt this process
// is reaped all the same: no ended helper stays behind as a zombie.
TEST(Helper, EndedWhileInterruptedIsReaped) {
    PrepareResponse("");
    for (int i = 0; i < 20; ++i) {
        Recorder failing;
        InterruptThisProcessOften(true);
        const Raised raised = Catch([&] { failing.LookUp(1); });
        InterruptThisProcessOften(false);
        ASSERT_EQ(raised.number, kErrRange);
        ASSERT_EQ(HelperPid(), 0) << "round " << i;
    }
}

// A helper that may open no more files reports the creation as the act
// that failed. (A dead helper started again: EndedDuringARunOrStopped.)
TEST(Helper, FailedCreationIsNamed) {
    PrepareResponse(SampleScreen());
    Recorder first;
    first.LookUp(1);
    const pid_t pid = HelperPid();
    ASSERT_GT(pid, 0);
    // Its standard descriptors, the folder and its lock: none left for in.txt.
    const rlimit few{5, 5};
    ASSERT_EQ(::prlimit(pid, RLIMIT_NOFILE, &few, nullptr), 0);
    const Raised raised = Catch([] { MakeExchangeFiles(FixedExchangePlace(), nullptr); });
    EXPECT_EQ(raised.number, EMFILE);
    EXPECT_NE(raised.text.find("kann nicht angelegt werden"), std::string::npos) << raised.text;
}

}  // namespace
}  // namespace keil::test
