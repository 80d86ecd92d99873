#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "error.h"
#include "folder_lock.h"
#include "unique_fd.posix.h"

namespace keil {
namespace {

// The process that holds a flock on the file `info` describes, by
// /proc/locks, as "Prozess <pid> des Benutzers „<name>“"; "" when none is
// found.
std::string LockHolder(const struct stat& info) {
    std::ifstream locks("/proc/locks");
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    for (std::string line; std::getline(locks, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's
        // line has "->" after the number.
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, file;
        fields >> number >> kind >> mode >> access >> pid >> file;
        if (kind != "FLOCK" || file != device) continue;
        struct stat process {};
        if (::stat(("/proc/" + pid).c_str(), &process) != 0) return "Prozess " + pid;
        const passwd* user = ::getpwuid(process.st_uid);
        return "Prozess " + pid + " des Benutzers " +
               Quoted(user != nullptr ? user->pw_name : std::to_string(process.st_uid));
    }
    return "";
}

// A flock that a thread of its own waits for: flock has no time limit, so
// the run waits for the thread instead, and a thread left behind lets the
// lock go as soon as it gets it.
struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    int error = 0;
    UniqueFd fd;
};

}  // namespace

// flock on the folder itself: nothing is created, and the lock goes with
// the last descriptor of its holder.
FolderLock::FolderLock(const std::string& folder, std::chrono::milliseconds patience) {
    auto waiter = std::make_shared<Waiter>();
    waiter->fd.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!waiter->fd.valid()) {
        ThrowSystemError(errno, "Der Ordner des Suchprogramms " + Quoted(folder) + " kann zum Sperren nicht geöffnet werden");
    }
    int error = ::flock(waiter->fd.get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
    if (error == EWOULDBLOCK) {
        std::thread([waiter] {
            int result;
            while ((result = ::flock(waiter->fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
            }
            const std::lock_guard hold(waiter->mutex);
            waiter->error = result == 0 ? 0 : errno;
            waiter->finished = true;
            if (waiter->abandoned) waiter->fd.reset();
            waiter->done.notify_one();
        }).detach();
        std::unique_lock hold(waiter->mutex);
        if (!waiter->done.wait_for(hold, patience, [&] { return waiter->finished; })) {
            waiter->abandoned = true;
            struct stat info {};
            ::fstat(waiter->fd.get(), &info);
            ThrowLockHeld(folder, LockHolder(info), "");
        }
        error = waiter->error;
    }
    if (error != 0) ThrowSystemError(error, "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht gesperrt werden");
    handle_ = waiter->fd.release();
}

FolderLock::~FolderLock() { ::close(handle_); }

}  // namespace keil
