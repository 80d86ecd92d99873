#include "process/process_wait.h"

#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/error.h"
#include "system/unique_fd.posix.h"

namespace keil {
namespace {

constexpr ProcessEnd kCannotOpen{-1, 0, false};

// An ended process as the shells report it: its own status, or 128 + the
// signal's number when a signal ended it.
ProcessEnd EndFrom(const siginfo_t& info) {
    switch (info.si_code) {
        case CLD_EXITED:
            return {info.si_status, 0};
        case CLD_KILLED:
        case CLD_DUMPED:
            return {128 + info.si_status, info.si_status};
        default:
            return {};
    }
}

ProcessEnd EndFromStatus(int status) {
    if (WIFEXITED(status)) return {WEXITSTATUS(status), 0};
    if (WIFSIGNALED(status)) return {128 + WTERMSIG(status), WTERMSIG(status)};
    return {};
}

int PidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// The wait where process file descriptors cannot be had: waits for our own
// child with waitpid and reaps it. Cannot open it when the ID is not a
// child of ours.
ProcessEnd WaitForChildEnd(std::int32_t processId) {
    int status = 0;
    for (;;) {
        const pid_t rc = ::waitpid(processId, &status, 0);
        if (rc == processId) return EndFromStatus(status);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0 && errno == ECHILD) return kCannotOpen;
        ThrowSystemError(errno, "Das Warten auf das Suchprogramm ist fehlgeschlagen");
    }
}

}  // namespace

ProcessEnd WaitForProcessExit(std::int32_t processId, WaitHooks* hooks) {
    // Open the process. A process ID of 0 or below names a process group,
    // never one process.
    if (processId <= 0) return kCannotOpen;
    UniqueFd pidfd(PidfdOpen(processId));
    if (!pidfd.valid()) {
        // No process has this ID. Any other failure (a kernel without
        // process file descriptors, a sandbox that refuses them, no
        // descriptor or memory left) must not end the wait early: waitpid
        // still waits for our own child.
        if (errno == ESRCH) return kCannotOpen;
        return WaitForChildEnd(processId);
    }

    // Wait without a time limit; a signal handled meanwhile does not end it.
    if (WaitUntilReady(pidfd.get(), kNoLimit, hooks) != Waited::kReady) {
        ThrowSystemError(errno, "Das Warten auf das Suchprogramm ist fehlgeschlagen");
    }

    // Take the exit code. For our own child this also reaps it, so no
    // zombie is left; for any other process it fails and gives 0.
    siginfo_t info{};
    for (;;) {
        if (::waitid(P_PIDFD, static_cast<id_t>(pidfd.get()), &info, WEXITED) == 0) return EndFrom(info);
        if (errno != EINTR) return {};
    }
}

std::string SignalName(std::int32_t signal) {
    const char* name = ::sigabbrev_np(signal);
    return name != nullptr ? std::string(" (SIG") + name + ")" : "";
}

}  // namespace keil
