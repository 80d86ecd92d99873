#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <new>

#include "error.h"
#include "exchange_file.h"
#include "exchange_file.posix.h"

namespace keil {
namespace {

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// What stands in the file system instead of a plain file with a single
// link, or "" for a plain file with a single link.
std::string Oddity(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) return "eine symbolische Verknüpfung";
    if (S_ISDIR(info.st_mode)) return "ein Ordner";
    if (S_ISFIFO(info.st_mode)) return "eine benannte Pipe";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "ein Gerät";
    if (!S_ISREG(info.st_mode)) return "ein Socket oder eine andere besondere Datei";
    if (info.st_nlink != 1) return "eine Datei mit " + std::to_string(info.st_nlink) + " harten Links";
    return "";
}

// Removes what an earlier run left at `path`, which must be a plain file
// with a single link. Whoever owns it: removing a name takes only the
// right to write the folder.
void RemoveLeftover(const std::string& path, const std::string& role) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return;
        ThrowFileError(errno, role, path, "geprüft");
    }
    if (!Oddity(info).empty()) ThrowNotPlainFile(role, path, Oddity(info));
    if (::unlink(path.c_str()) != 0) ThrowFileError(errno, role, path, "gelöscht");
}

}  // namespace

ExchangeFile::ExchangeFile(const std::string& path, const char* role)
    : path_(path), role_(role), nativePath_(path), handle_(-1) {
    RemoveLeftover(path_, role_);
    // Exclusive creation never follows a link and never opens a file that
    // another program put there meanwhile.
    const int fd = ::open(nativePath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) ThrowFileError(errno, role_, path_, "angelegt");
    handle_ = fd;
}

ExchangeFile::~ExchangeFile() {
    if (handle_ >= 0) ::close(Fd(handle_));
}

void ExchangeFile::Write(std::span<const std::uint8_t> bytes) {
    // pwrite leaves the position at the start.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(Fd(handle_), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno, role_, path_, "geschrieben");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> ExchangeFile::ReadAll() const { return ReadWholeResponse(Fd(handle_), path_); }

std::vector<std::uint8_t> ReadWholeResponse(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) ThrowFileError(errno, kResponseRole, path, "abgefragt");
    if (info.st_size > std::numeric_limits<std::int32_t>::max()) ThrowResponseTooLarge(path, info.st_size);
    const auto size = static_cast<std::size_t>(info.st_size);

    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        ThrowAllocation();
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer.data() + done, size - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno, kResponseRole, path, "gelesen");
        }
        if (n == 0) ThrowResponseChanged(path);
        done += static_cast<std::size_t>(n);
    }
    return buffer;
}

void ExchangeFile::Remove() {
    // The name must still lead to the file that this run made and holds:
    // a file that another program renamed over it stays.
    struct stat held {};
    struct stat named {};
    if (::fstat(Fd(handle_), &held) != 0) ThrowFileError(errno, role_, path_, "abgefragt");
    if (::lstat(nativePath_.c_str(), &named) != 0) ThrowFileError(errno, role_, path_, "gelöscht");
    if (named.st_dev != held.st_dev || named.st_ino != held.st_ino) ThrowReplaced(role_, path_);
    if (::unlink(nativePath_.c_str()) != 0) ThrowFileError(errno, role_, path_, "gelöscht");
}

}  // namespace keil
