#include "process/launcher.posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "process/launcher.h"
#include "process/process_tree.posix.h"
#include "process/wine.posix.h"
#include "system/error.h"

extern char** environ;

namespace keil {

struct LaunchedProcess::Started {
    // What the program started, as far as the wait has followed it.
    Lineage lineage;
    rlim_t largestFile;
    bool reaped = false;
};

namespace {

// For the handlers that end a running lookup program with this program,
// which may only make system calls: its process group, or 0; the children
// of this process that were there before it started; what it started out
// of its group, as the wait saw it last.
std::atomic<pid_t> runningGroup{0};
constexpr std::size_t kMostKept = 64;
std::array<std::atomic<pid_t>, kMostKept> earlierChildren{};
std::array<std::atomic<pid_t>, kMostKept> strays{};
// "/proc/<pid>/task/<pid>/children" of this process, whose main thread
// inherits what a lookup program leaves behind.
char childrenPath[64] = {};

// How often a wait looks at what the lookup program started, for the
// handlers and for its words.
constexpr std::chrono::milliseconds kLookAtStartedEvery{250};

void Keep(std::array<std::atomic<pid_t>, kMostKept>& kept, const std::vector<pid_t>& pids) {
    for (std::size_t i = 0; i < kMostKept; ++i) kept[i].store(i < pids.size() ? pids[i] : 0);
}

// What the child does between vfork and exec, all of it made ready by the
// parent: the child runs on the parent's memory and stack until exec, so it
// only makes system calls, and leaves the errno of a failure in `error`.
struct ChildPlan {
    const char* program;
    char* const* argv;
    int input;
    int output;
    const char* folder;  // null: the folder it inherits
    int folderFd;        // the program's folder, open, or -1: `folder`
    pid_t parent;
    rlim_t largestFile;
    volatile int* error;
};

[[noreturn]] void FailInChild(const ChildPlan& plan) {
    *plan.error = errno != 0 ? errno : EINVAL;
    ::_exit(127);
}

// Makes `fd` the descriptor `target` of the new program, open across exec.
void PlaceInChild(const ChildPlan& plan, int fd, int target) {
    if (fd == target ? ::fcntl(fd, F_SETFD, 0) != 0 : ::dup2(fd, target) != target) FailInChild(plan);
}

[[noreturn]] __attribute__((noinline)) void BecomeLookupProgram(const ChildPlan& plan) {
    // Every signal with its default action: a handler of the parent's must
    // not run on its memory here, and the program starts as a program does.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) (void)::sigaction(signal, &defaults, nullptr);
    // It ends when the window that started it ends, however that ends; a
    // window that ended before this line leaves it a new parent.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) FailInChild(plan);
    if (::getppid() != plan.parent) ::_exit(127);
    // A group of its own, so that what it starts can be ended with it.
    if (::setpgid(0, 0) != 0) FailInChild(plan);
    // It cannot write a file larger than the run can read, and fill the
    // disk beyond that; a lower limit of the session's stays.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) FailInChild(plan);
    limit.rlim_cur = std::min(limit.rlim_cur, plan.largestFile);
    limit.rlim_max = std::min(limit.rlim_max, plan.largestFile);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) FailInChild(plan);
    // A lookup program that opens its data by a relative name finds it;
    // started from the folder open at `folderFd`, it is the program there.
    // Before the descriptors move: the folder's may be one of 0 to 2, in a
    // program started with one of them closed.
    if (plan.folderFd >= 0 ? ::fchdir(plan.folderFd) != 0 : plan.folder != nullptr && ::chdir(plan.folder) != 0) {
        FailInChild(plan);
    }
    // The response file first moves off descriptor 0, where the request
    // file goes.
    int output = plan.output;
    if (output == STDIN_FILENO && (output = ::fcntl(output, F_DUPFD_CLOEXEC, STDERR_FILENO + 1)) < 0) {
        FailInChild(plan);
    }
    PlaceInChild(plan, plan.input, STDIN_FILENO);
    PlaceInChild(plan, output, STDOUT_FILENO);
    if (::close_range(STDERR_FILENO + 1, ~0U, 0) != 0) FailInChild(plan);
    sigset_t none;
    sigemptyset(&none);
    if (::sigprocmask(SIG_SETMASK, &none, nullptr) != 0) FailInChild(plan);
    ::execve(plan.program, plan.argv, environ);
    FailInChild(plan);
}

// Blocks every signal of the calling thread for its lifetime, so that no
// handler runs in a child that still shares this process's memory.
class AllSignalsBlocked {
public:
    AllSignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &previous_);
    }
    ~AllSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    AllSignalsBlocked(const AllSignalsBlocked&) = delete;
    AllSignalsBlocked& operator=(const AllSignalsBlocked&) = delete;

private:
    sigset_t previous_{};
};

bool Kept(const std::array<std::atomic<pid_t>, kMostKept>& kept, pid_t pid) {
    for (const auto& entry : kept) {
        if (entry.load() == pid) return true;
    }
    return false;
}

// What follows may run in a signal handler: system calls only.

// The name of the process `pid`, as its stat tells it, into `name`.
void NameOf(pid_t pid, char (&name)[32]) {
    char path[40] = "/proc/";
    char digits[16];
    int length = 0;
    for (auto rest = static_cast<unsigned long>(pid); length == 0 || rest != 0; rest /= 10) {
        digits[length++] = static_cast<char>('0' + rest % 10);
    }
    std::size_t at = std::strlen(path);
    while (length > 0) path[at++] = digits[--length];
    std::memcpy(path + at, "/stat", 6);
    char stat[128] = {};
    name[0] = '\0';
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const ssize_t n = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    const char* open = n > 0 ? std::strchr(stat, '(') : nullptr;
    const char* close = n > 0 ? std::strrchr(stat, ')') : nullptr;
    if (open == nullptr || close == nullptr || close <= open) return;
    const auto size = std::min<std::size_t>(static_cast<std::size_t>(close - open - 1), sizeof name - 1);
    std::memcpy(name, open + 1, size);
    name[size] = '\0';
}

// Ends what a lookup program that the handler's signal ended left behind:
// as its processes end, what they started becomes this process's, and is
// ended in turn, for a moment. Wine's server and its own programs stay.
void EndWhatItLeft() {
    const timespec moment{0, 10'000'000};
    for (int round = 0; round < 20 && childrenPath[0] != '\0'; ++round) {
        char list[4096] = {};
        const int fd = ::open(childrenPath, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        const ssize_t n = ::read(fd, list, sizeof list - 1);
        ::close(fd);
        pid_t pid = 0;
        for (ssize_t i = 0; i <= n && n > 0; ++i) {
            if (i < n && list[i] >= '0' && list[i] <= '9') {
                pid = pid * 10 + (list[i] - '0');
                continue;
            }
            if (pid > 0 && !Kept(earlierChildren, pid)) {
                char name[32];
                NameOf(pid, name);
                if (!IsWinesOwnName(name)) ::kill(pid, SIGKILL);
            }
            pid = 0;
        }
        ::nanosleep(&moment, nullptr);
    }
}

// Ends the running lookup program's group and what it started out of it,
// then this program as the signal would have: its action is the default
// again (SA_RESETHAND).
void EndWithLookup(int signal) {
    const pid_t group = runningGroup.load();
    if (group > 0) {
        ::kill(-group, SIGKILL);
        for (const auto& stray : strays) {
            if (stray.load() > 0) ::kill(stray.load(), SIGKILL);
        }
        EndWhatItLeft();
    }
    ::raise(signal);
}

// Looks, at most every kLookAtStartedEvery, at what the lookup program
// started, for the handlers, while the wait goes on; its turns go on to
// the window's hooks.
class Watching : public WaitHooks {
public:
    Watching(Lineage& lineage, WaitHooks* hooks) : lineage_(lineage), hooks_(hooks) {}
    void Pump() override {
        const auto now = std::chrono::steady_clock::now();
        if (now - lookedAt_ >= kLookAtStartedEvery) {
            lookedAt_ = now;
            std::vector<pid_t> started;
            for (const StartedProcess& process : StartedBy(lineage_)) started.push_back(process.pid);
            Keep(strays, started);
        }
        if (hooks_ != nullptr) hooks_->Pump();
    }
    bool Cancelled() override { return hooks_ != nullptr && hooks_->Cancelled(); }
    std::optional<Waited> WaitWith(NativeHandle handle, std::chrono::milliseconds limit) override {
        return hooks_ != nullptr ? hooks_->WaitWith(handle, limit) : std::nullopt;
    }
    void Waiting(WaitingFor what, const std::string& holder) override {
        if (hooks_ != nullptr) hooks_->Waiting(what, holder);
    }

private:
    Lineage& lineage_;
    WaitHooks* hooks_;
    std::chrono::steady_clock::time_point lookedAt_{};
};

void Reap(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

LaunchedProcess::LaunchedProcess(std::int64_t id, std::unique_ptr<Started> started) noexcept
    : id_(id), started_(std::move(started)) {}

LaunchedProcess::LaunchedProcess(LaunchedProcess&& other) noexcept
    : id_(std::exchange(other.id_, 0)), started_(std::move(other.started_)) {}

LaunchedProcess::~LaunchedProcess() {
    if (!started_) return;
    const auto pid = static_cast<pid_t>(id_);
    runningGroup.store(0);
    Keep(strays, {});
    // Whatever of it still runs: the run is leaving early (broken off, or
    // its wait failed), and the lookup program and all it started go with
    // it. Its group is named only while a process of the group is there to
    // keep the group's ID from naming another group; once the program has
    // ended, what it started is below this process, each of its children
    // reaped here.
    if (!started_->reaped && ::waitpid(pid, nullptr, WNOHANG) == 0) {
        ::kill(-pid, SIGKILL);
        Reap(pid);
    }
    const timespec moment{0, 1'000'000};
    for (int round = 0; round < 200; ++round) {
        const std::vector<StartedProcess> left = StartedBy(started_->lineage);
        if (left.empty()) break;
        for (const StartedProcess& process : left) {
            if (process.group == pid && !process.ended) ::kill(-pid, SIGKILL);
            if (!process.ended) {
                ::kill(process.pid, SIGKILL);
            } else if (process.ours) {
                (void)::waitpid(process.pid, nullptr, WNOHANG);
            }
        }
        ::nanosleep(&moment, nullptr);
    }
}

std::int64_t LaunchedProcess::largestFile() const noexcept { return static_cast<std::int64_t>(started_->largestFile); }

ProcessEnd LaunchedProcess::WaitForAll(WaitHooks* hooks) {
    ProcessEnd end;
    {
        Watching watching(started_->lineage, hooks);
        end = WaitForProcessExit(static_cast<std::int32_t>(id_), &watching);
    }
    // The program is reaped, or was never this process's to wait for.
    started_->reaped = true;
    const auto ended = std::chrono::steady_clock::now();
    for (;;) {
        std::vector<pid_t> running;
        std::string name;
        for (const StartedProcess& process : StartedBy(started_->lineage)) {
            if (process.ended && process.ours) {
                (void)::waitpid(process.pid, nullptr, WNOHANG);
                continue;
            }
            running.push_back(process.pid);
            if (name.empty() && !process.ended) name = process.name;
        }
        if (running.empty()) break;
        Keep(strays, running);
        if (hooks != nullptr && std::chrono::steady_clock::now() - ended >= kEndingGrace) {
            hooks->Waiting(WaitingFor::kStartedByLookup, name);
        }
        if (hooks == nullptr || !hooks->WaitWith(kNoHandle, kRespondEvery)) {
            (void)::poll(nullptr, 0, static_cast<int>(kRespondEvery.count()));
        }
        TakeTurn(hooks);
    }
    Keep(strays, {});
    return end;
}

LaunchedProcess StartProgram(const std::string& program, NativeHandle input, NativeHandle output,
                             NativeHandle folder) {
    return StartProgramWatching(program, input, output, ::getpid(), folder);
}

LaunchedProcess StartProgramWatching(const std::string& program, NativeHandle input, NativeHandle output,
                                     pid_t parent, NativeHandle folderFd) {
    // What the program leaves behind when it ends becomes this process's
    // to wait for, rather than init's.
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        ThrowSystemError(errno, "Der Start des Suchprogramms kann nicht vorbereitet werden");
    }
    // Its file-size limit, as the child sets it.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        ThrowSystemError(errno, "Der Start des Suchprogramms kann nicht vorbereitet werden");
    }
    // A Windows program finds what it needs of Wine, or the clerk is told
    // what is missing before it starts.
    PrepareForWine(program, FolderOf(program), WinePrefix());
    auto started = std::make_unique<LaunchedProcess::Started>();
    started->lineage.earlier = ChildrenOfThisProcess();
    started->largestFile = std::min(limit.rlim_cur, static_cast<rlim_t>(kLargestResponse));
    // posix_spawn cannot ask for the parent's death signal, so the start is
    // vfork and exec, as posix_spawn does it: no copy of this process's
    // memory, and the child's failure to start is known before vfork
    // returns here.
    const std::string folder = FolderOf(program);
    // From the open folder by its name: "./" keeps exec from searching PATH.
    const std::string startedAs = folderFd >= 0 ? "./" + program.substr(folder.size()) : program;
    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    volatile int error = 0;
    const ChildPlan plan{startedAs.c_str(),
                         argv,
                         input,
                         output,
                         folder.empty() ? nullptr : folder.c_str(),
                         folderFd,
                         parent,
                         static_cast<rlim_t>(kLargestResponse),
                         &error};
    Keep(earlierChildren, started->lineage.earlier);
    pid_t pid = -1;
    {
        const AllSignalsBlocked blocked;
        pid = ::vfork();
        if (pid == 0) BecomeLookupProgram(plan);
    }
    if (pid < 0) ThrowStartError(errno, program);
    if (error != 0) {
        // It has ended without running the program: reaped here.
        Reap(pid);
        ThrowStartError(error, program);
    }
    runningGroup.store(pid);
    started->lineage.group = pid;
    return LaunchedProcess(pid, std::move(started));
}

void EndLookupProgramWithThisProgram() {
    // The children file of this process's main thread, which inherits
    // what a lookup program leaves behind.
    const std::string path =
        "/proc/" + std::to_string(::getpid()) + "/task/" + std::to_string(::getpid()) + "/children";
    if (path.size() < sizeof childrenPath) std::memcpy(childrenPath, path.c_str(), path.size() + 1);
    struct sigaction onEnd {};
    onEnd.sa_handler = &EndWithLookup;
    sigemptyset(&onEnd.sa_mask);
    onEnd.sa_flags = static_cast<int>(SA_RESETHAND);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
        // A signal that the program's starter had ignored (nohup) stays so.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            ::sigaction(signal, &onEnd, nullptr);
        }
    }
}

}  // namespace keil
