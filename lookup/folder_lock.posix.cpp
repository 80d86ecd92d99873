#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "error.h"
#include "folder_lock.h"
#include "unique_fd.posix.h"

namespace keil {

// flock on the folder itself: nothing is created, and the lock goes with
// the last descriptor of its holder.
FolderLock::FolderLock(const std::string& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        ThrowSystemError(errno, "Der Ordner des Suchprogramms " + Quoted(folder) + " kann zum Sperren nicht geöffnet werden");
    }
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) ThrowSystemError(errno, "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht gesperrt werden");
    }
    handle_ = fd.release();
}

FolderLock::~FolderLock() { ::close(handle_); }

}  // namespace keil
