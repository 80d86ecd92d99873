#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "fake_lookup.h"

namespace fake {

void UseBinaryStandardStreams() {}

std::string StartReport() {
    char stderrTarget[4096] = {};
    (void)readlink("/proc/self/fd/2", stderrTarget, sizeof stderrTarget - 1);
    std::string report = "stderr=" + std::string(stderrTarget) + "\nopen_above_2=";
    for (int fd = 3; fd < 1024; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) report += std::to_string(fd) + " ";
    }
    struct sigaction hangUp {};
    struct sigaction pipe {};
    sigaction(SIGHUP, nullptr, &hangUp);
    sigaction(SIGPIPE, nullptr, &pipe);
    sigset_t mask;
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    report += "\nsighup,sigpipe=" +
              std::string(hangUp.sa_handler == SIG_DFL && pipe.sa_handler == SIG_DFL ? "default" : "changed") +
              "\nsigusr1=" + (sigismember(&mask, SIGUSR1) ? "blocked" : "open") + "\nexchange=";
    // The mode of each exchange file, and whether this user made it.
    for (const int fd : {0, 1}) {
        struct stat info {};
        fstat(fd, &info);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", info.st_mode & 07777u);
        report += std::string(mode) + (info.st_uid == geteuid() ? ",own " : ",other ");
    }
    return report + "\n";
}

void Crash() {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    // A sanitizer's handler would turn the signal into an exit.
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
    _exit(1);
}

void LeaveChild(long long ms, const std::string& runs, const std::string& respond, bool leave) {
    std::fflush(stdout);
    if (fork() != 0) return;
    if (leave) setsid();
    DoAsChild(ms, runs, respond);
    _exit(0);
}

bool RunAsChild(int, char**) { return false; }

void IgnoreFileSizeSignal() { signal(SIGXFSZ, SIG_IGN); }

void GrowStandardOutput(long long size) { (void)ftruncate(1, size); }

int OverwriteByName(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const bool written = pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    close(fd);
    return written ? 0 : EIO;
}

int RenameOverByName(const std::string& from, const std::string& path) {
    return rename(from.c_str(), path.c_str()) == 0 ? 0 : errno;
}

}  // namespace fake
