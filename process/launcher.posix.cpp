#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "system/error.h"
#include "process/launcher.h"

extern char** environ;

namespace keil {
namespace {

// The process group of the lookup program that runs now, or 0: for the
// handlers that end it with this program.
std::atomic<pid_t> runningGroup{0};

// What the child does between vfork and exec, all of it made ready by the
// parent: the child runs on the parent's memory and stack until exec, so it
// only makes system calls, and leaves the errno of a failure in `error`.
struct ChildPlan {
    const char* program;
    char* const* argv;
    int input;
    int output;
    const char* folder;  // null: the folder it inherits
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
    // The response file first moves off descriptor 0, where the request
    // file goes.
    int output = plan.output;
    if (output == STDIN_FILENO && (output = ::fcntl(output, F_DUPFD_CLOEXEC, STDERR_FILENO + 1)) < 0) {
        FailInChild(plan);
    }
    PlaceInChild(plan, plan.input, STDIN_FILENO);
    PlaceInChild(plan, output, STDOUT_FILENO);
    if (::close_range(STDERR_FILENO + 1, ~0U, 0) != 0) FailInChild(plan);
    // A lookup program that opens its data by a relative name finds it.
    if (plan.folder != nullptr && ::chdir(plan.folder) != 0) FailInChild(plan);
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

// Ends the running lookup program's group, then this program as the signal
// would have: its action is the default again (SA_RESETHAND).
void EndWithLookup(int signal) {
    const pid_t group = runningGroup.load();
    if (group > 0) ::kill(-group, SIGKILL);
    ::raise(signal);
}

}  // namespace

LaunchedProcess::~LaunchedProcess() {
    if (id_ <= 0) return;
    const auto pid = static_cast<pid_t>(id_);
    runningGroup.store(0);
    // The wait normally reaped it; if not (the wait could not open it), it is
    // reaped here once it has ended, so that no zombie stays behind.
    if (::waitpid(pid, nullptr, WNOHANG) != 0) return;
    // Still running: the run is leaving early (broken off, or its wait
    // failed), and the lookup program and what it started in its group go
    // with it. While it runs, its ID and group name no other process.
    ::kill(-pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

LaunchedProcess StartProgram(const std::string& program, NativeHandle input, NativeHandle output) {
    // posix_spawn cannot ask for the parent's death signal, so the start is
    // vfork and exec, as posix_spawn does it: no copy of this process's
    // memory, and the child's failure to start is known before vfork
    // returns here.
    const std::string folder = FolderOf(program);
    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    volatile int error = 0;
    const ChildPlan plan{program.c_str(),
                         argv,
                         input,
                         output,
                         folder.empty() ? nullptr : folder.c_str(),
                         ::getpid(),
                         static_cast<rlim_t>(kLargestResponse),
                         &error};
    pid_t pid = -1;
    {
        const AllSignalsBlocked blocked;
        pid = ::vfork();
        if (pid == 0) BecomeLookupProgram(plan);
    }
    if (pid < 0) ThrowStartError(errno, program);
    if (error != 0) {
        // It has ended without running the program: reaped here.
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ThrowStartError(error, program);
    }
    runningGroup.store(pid);
    return LaunchedProcess(pid, kNoHandle);
}

void EndLookupProgramWithThisProgram() {
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
