#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <thread>

#include "process/process_wait.h"
#include "support.h"

namespace keil::test {

const Platform kThisPlatform = kPosixOnly;
const std::int32_t kErrNoFile = ENOENT, kErrNoFolder = ENOENT, kErrNotAProgram = ENOEXEC, kErrDiskFull = ENOSPC;
const std::vector<SystemFaultCase> kSystemFaults = {
    {ENOENT, SystemFault::kNotFound},   {ENOTDIR, SystemFault::kNotFound},   {EACCES, SystemFault::kNoPermission},
    {EPERM, SystemFault::kNoPermission}, {ETXTBSY, SystemFault::kBusy},       {EBUSY, SystemFault::kBusy},
    {ENOEXEC, SystemFault::kWrongFormat}, {ENOSPC, SystemFault::kDiskFull},   {EDQUOT, SystemFault::kDiskFull},
    {EROFS, SystemFault::kReadOnly},    {EIO, SystemFault::kInputOutput},    {ENOMEM, SystemFault::kOutOfMemory},
    {EAGAIN, SystemFault::kTooManyPrograms}, {EPROTO, SystemFault::kOther}, {EMFILE, SystemFault::kOther},
};

namespace {

// The wait in a sandbox whose seccomp filter answers pidfd_open with EPERM:
// on a thread of its own, whose filter goes with it.
std::int32_t WaitWithPidfdRefused(std::int32_t processId) {
    std::int32_t code = 0;
    std::thread([&] {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_pidfd_open, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0 ||
            ::syscall(SYS_pidfd_open, ::getpid(), 0) != -1 || errno != EPERM) {
            std::abort();
        }
        code = WaitForProcessExit(processId, nullptr).exitCode;
    }).join();
    return code;
}

}  // namespace

// With process file descriptors, and with waitpid where a sandbox refuses
// them (as a kernel without them does).
const std::vector<Wait> kWaits = {
    {"Pidfd", [](std::int32_t processId) { return WaitForProcessExit(processId, nullptr).exitCode; }},
    {"PidfdRefused", &WaitWithPidfdRefused}};

int CountOpenHandles() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

bool NoChildLeft() {
    // Every child, running or ended, of every thread; the process's
    // helper, which lives as long as the process, aside.
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream children(task.path() / "children");
        for (int pid = 0; children >> pid;) {
            std::string name;
            std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
            if (name != "keilbrecher-exc") return false;
        }
    }
    return true;
}

// The wait reaped the process; its ID names none from then on.
void WaitUntilGone(std::int32_t) {}

std::string GiveThisProcessInheritables() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
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
    return "stderr=" + std::string(ownStderr) +
           "\nopen_above_2=\nsighup,sigpipe=default\nsigusr1=open\nexchange=0600,own 0600,own \n";
}

void InterruptThisProcessOften(bool on) {
    struct sigaction onAlarm {};
    onAlarm.sa_handler = [](int) {};  // no SA_RESTART: system calls see EINTR
    ::sigaction(SIGALRM, &onAlarm, nullptr);
    const itimerval every200us{{0, on ? 200 : 0}, {0, on ? 200 : 0}};
    ::setitimer(ITIMER_REAL, &every200us, nullptr);
}

void MakeNamedPipe(const std::string& path) { ::mkfifo(path.c_str(), 0666); }

void MakeUnopenableEntry(const std::string&) {}

void RemoveFolder() { std::filesystem::remove_all(FibuDir()); }

bool FolderLockIsFree() {
    const int folder = ::open(FibuDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return true;
    const bool taken = ::flock(folder, LOCK_EX | LOCK_NB) == 0;
    ::close(folder);
    return taken;
}

void LetEveryoneWrite(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWOTH) != 0) std::abort();
}

void LimitFileSize(std::int64_t bytes) {
    static rlimit original{};
    static const bool saved = ::getrlimit(RLIMIT_FSIZE, &original) == 0;
    rlimit limit = original;
    if (bytes > 0) limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (!saved || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::abort();
}

bool RunsAsRoot() { return ::geteuid() == 0; }

SmallDisk::SmallDisk(std::int64_t free) {
    namespace fs = std::filesystem;
    if (free < 0) return;
    const std::string folder = FibuDir();
    struct stat here {};
    struct stat above {};
    if (::stat(folder.c_str(), &here) != 0 || ::stat((folder + "..").c_str(), &above) != 0 ||
        here.st_dev != above.st_dev) {
        throw std::runtime_error(folder + " is a mount point already; not touched");
    }
    struct Kept {
        std::string name, bytes;
        fs::perms permissions;
    };
    std::vector<Kept> kept;
    std::int64_t used = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        kept.push_back({entry.path().filename().string(), ReadFileBytes(entry.path().string()), entry.status().permissions()});
        used += static_cast<std::int64_t>(kept.back().bytes.size()) + (8 << 10);
    }
    const std::string options = "size=" + std::to_string(used + free + (1 << 20)) + ",mode=0755";
    if (::mount("keilbrecher-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        throw std::runtime_error("no tmpfs at " + folder);
    }
    mounted_ = true;
    for (const Kept& file : kept) {
        WriteFileBytes(folder + file.name, file.bytes);
        fs::permissions(folder + file.name, file.permissions);
    }
    // A filler takes what is free beyond `free`, in whole pages, as tmpfs
    // counts them.
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) != 0) std::abort();
    const auto page = static_cast<std::int64_t>(disk.f_frsize);
    const auto left = static_cast<std::int64_t>(disk.f_bavail) * page;
    WriteFileBytes(folder + "filler.bin", std::string(static_cast<std::size_t>((left - free) / page * page), '\0'));
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount2(FibuDir().c_str(), MNT_DETACH);
}

void GiveToAnotherUser(const std::string& path) {
    constexpr uid_t kNobody = 65534;
    ::chmod(path.c_str(), 0644);
    if (::geteuid() == 0 && ::chown(path.c_str(), kNobody, kNobody) != 0) std::abort();
}

}  // namespace keil::test
