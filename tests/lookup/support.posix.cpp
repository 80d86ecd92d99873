#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "process_wait.h"
#include "process_wait.posix.h"
#include "support.h"

namespace keil::test {

const Platform kThisPlatform = kPosixOnly;
const std::int32_t kErrNoFile = ENOENT, kErrNoFolder = ENOENT;
// With process file descriptors, and with waitpid for systems without them.
const std::vector<Wait> kWaits = {{"Pidfd", &WaitForProcessExit}, {"Waitpid", &WaitForChildExit}};

int CountOpenHandles() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

bool NoChildLeft() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

// The wait reaped the process; its ID names none from then on.
void WaitUntilGone(std::int32_t) {}

std::string GiveThisProcessInheritables() {
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ::sigprocmask(SIG_BLOCK, &usr1, nullptr);
    [[maybe_unused]] static const int leaky = ::open("/dev/null", O_RDONLY);  // no O_CLOEXEC on purpose
    // Started without standard input, as a desktop may start it: the run's
    // own files then get descriptor 0.
    ::close(STDIN_FILENO);
    char ownStderr[4096] = {};
    (void)::readlink("/proc/self/fd/2", ownStderr, sizeof ownStderr - 1);
    return "stderr=" + std::string(ownStderr) + "\nopen_above_2=\nsigpipe=default\nsigusr1=open\n";
}

void InterruptThisProcessOften(bool on) {
    struct sigaction onAlarm {};
    onAlarm.sa_handler = [](int) {};  // no SA_RESTART: system calls see EINTR
    ::sigaction(SIGALRM, &onAlarm, nullptr);
    const itimerval every5ms{{0, on ? 5000 : 0}, {0, on ? 5000 : 0}};
    ::setitimer(ITIMER_REAL, &every5ms, nullptr);
}

void MakeNamedPipe(const std::string& path) { ::mkfifo(path.c_str(), 0666); }

}  // namespace keil::test
