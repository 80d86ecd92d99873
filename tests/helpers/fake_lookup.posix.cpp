// Stands in for the lookup program in tests. It reads its instructions from
// "fake-mode.txt" beside itself (a "key value" pair a line), reports what it
// was given to "fake-report.txt" and appends a line to "fake-runs.txt".
//
//   respond FILE    copy FILE (beside the helper) to standard output
//   sleep-ms N      sleep N milliseconds before responding
//   delete-request  delete in.txt from the helper's folder
//   grandchild-ms N leave a grandchild that sleeps N ms after we exit; its
//                   process ID goes to "fake-grandchild.txt"
//   signal N        end by signal N after responding
//   exit N          end with exit code N (default 0)

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fake_common.h"

namespace {

std::string Folder(const char* argv0) {
    const std::string path = argv0;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string LinkOf(int fd) {
    char target[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? "closed" : std::string(target, static_cast<std::size_t>(n));
}

// Descriptors above 2 that we did not open ourselves.
std::string ExtraDescriptors() {
    std::string extra;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return "unknown";
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd > 2 && fd != own) extra += std::to_string(fd) + ":" + LinkOf(fd) + " ";
    }
    closedir(dir);
    return extra;
}

std::string Disposition(int signal) {
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    if (action.sa_handler == SIG_DFL) return "default";
    if (action.sa_handler == SIG_IGN) return "ignored";
    return "handled";
}

std::string BlockedSignals() {
    sigset_t mask;
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    std::string blocked;
    for (int s = 1; s < 32; ++s) {
        if (sigismember(&mask, s)) blocked += std::to_string(s) + " ";
    }
    return blocked;
}

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = Folder(argv[0]);
    auto mode = fake::ReadMode(folder);

    std::string request;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) request.append(buffer, n);

    // Taken before the report file is opened, which would count otherwise.
    const std::string extra = ExtraDescriptors();
    std::ofstream(folder + "fake-report.txt")
        << "request=" << fake::Hex(request) << "\nargc=" << argc << "\nargv0=" << argv[0]
        << "\nstdin=" << LinkOf(0) << "\nstdout=" << LinkOf(1) << "\nstderr=" << LinkOf(2)
        << "\nextra_fds=" << extra << "\nsigpipe=" << Disposition(SIGPIPE)
        << "\nsigterm=" << Disposition(SIGTERM) << "\nblocked=" << BlockedSignals() << "\n";
    std::ofstream(folder + "fake-runs.txt", std::ios::app) << "run\n";

    if (mode.count("sleep-ms")) SleepMs(std::atol(mode["sleep-ms"].c_str()));
    if (mode.count("delete-request")) unlink((folder + "in.txt").c_str());
    if (mode.count("grandchild-ms")) {
        const long ms = std::atol(mode["grandchild-ms"].c_str());
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            // Keeps standard output open, as a careless child would.
            SleepMs(ms);
            _exit(0);
        }
        std::ofstream(folder + "fake-grandchild.txt") << grandchild;
    }
    if (mode.count("respond")) {
        std::ifstream response(folder + mode["respond"], std::ios::binary);
        while (response.read(buffer, sizeof buffer) || response.gcount() > 0) {
            std::fwrite(buffer, 1, static_cast<std::size_t>(response.gcount()), stdout);
        }
    }
    std::fflush(stdout);
    if (mode.count("signal")) raise(std::atoi(mode["signal"].c_str()));
    return mode.count("exit") ? std::atoi(mode["exit"].c_str()) : 0;
}
