#include "process_wait.h"

#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "error.h"
#include "responsive_wait.h"
#include "unique_fd.posix.h"

namespace keil {
namespace {

constexpr std::int32_t kCannotOpen = -1;

// Exit code of an ended process as the shells report it: its own status, or
// 128 + the signal's number when a signal ended it.
std::int32_t ExitCodeFrom(const siginfo_t& info) {
    switch (info.si_code) {
        case CLD_EXITED:
            return info.si_status;
        case CLD_KILLED:
        case CLD_DUMPED:
            return 128 + info.si_status;
        default:
            return 0;
    }
}

std::int32_t ExitCodeFromStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 0;
}

int PidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// The wait where process file descriptors cannot be had: waits for our own
// child with waitpid and reaps it. Returns -1 when the ID is not a child of
// ours, otherwise as WaitForProcessExit.
std::int32_t WaitForChildExit(std::int32_t processId) {
    int status = 0;
    for (;;) {
        const pid_t rc = ::waitpid(processId, &status, 0);
        if (rc == processId) return ExitCodeFromStatus(status);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0 && errno == ECHILD) return kCannotOpen;
        ThrowSystemError(errno, "Das Warten auf das Suchprogramm ist fehlgeschlagen");
    }
}

}  // namespace

std::int32_t WaitForProcessExit(std::int32_t processId) {
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
        return WaitForChildExit(processId);
    }

    // Wait without a time limit; a signal handled meanwhile does not end it.
    if (WaitUntilReady(pidfd.get(), kNoLimit) != Waited::kReady) {
        ThrowSystemError(errno, "Das Warten auf das Suchprogramm ist fehlgeschlagen");
    }

    // Take the exit code. For our own child this also reaps it, so no
    // zombie is left; for any other process it fails and gives 0.
    siginfo_t info{};
    for (;;) {
        if (::waitid(P_PIDFD, static_cast<id_t>(pidfd.get()), &info, WEXITED) == 0) {
            return ExitCodeFrom(info);
        }
        if (errno != EINTR) return 0;
    }
}

}  // namespace keil
