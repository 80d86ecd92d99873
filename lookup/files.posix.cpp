#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <new>

#include "error.h"
#include "files.posix.h"

namespace keil {
namespace {

// What stands in the file system instead of a plain file with a single
// link, or "" for a plain file with a single link.
std::string Oddity(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) return "eine symbolische Verknüpfung";
    if (S_ISDIR(info.st_mode)) return "ein Ordner";
    if (S_ISFIFO(info.st_mode)) return "eine benannte Pipe";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "ein Gerät";
    if (!S_ISREG(info.st_mode)) return "weder Datei noch Ordner";
    if (info.st_nlink != 1) return "eine Datei mit " + std::to_string(info.st_nlink) + " festen Links";
    return "";
}

}  // namespace

UniqueFd OpenExchangeFile(const std::string& path, ExchangeAccess access, const std::string& role) {
    const bool write = access == ExchangeAccess::kWriteNew;
    // Neither follows a symbolic link nor waits for the other end of a pipe;
    // truncates only once the file is known to be a plain one.
    const int flags = (write ? O_WRONLY | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const std::string what = "Die " + role + " " + Quoted(path);
    UniqueFd fd(::open(path.c_str(), flags, 0666));
    struct stat info {};
    if (!fd.valid()) {
        const int error = errno;
        if (::lstat(path.c_str(), &info) == 0 && !Oddity(info).empty()) ThrowNotPlainFile(role, path, Oddity(info));
        ThrowSystemError(error, what + " kann nicht zum " + (write ? "Schreiben" : "Lesen") + " geöffnet werden");
    }
    if (::fstat(fd.get(), &info) != 0) ThrowSystemError(errno, what + " kann nicht abgefragt werden");
    if (!Oddity(info).empty()) ThrowNotPlainFile(role, path, Oddity(info));
    // A file that is empty already, as the request file is after every run
    // that ended without an error, is not truncated: ext4 takes a truncation
    // to zero for a file being replaced and writes its data out when it is
    // closed, which the deletion at the run's end must then wait for.
    if (write && info.st_size > 0 && ::ftruncate(fd.get(), 0) != 0) {
        ThrowSystemError(errno, what + " kann nicht geleert werden");
    }
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status == -1 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) == -1) {
        ThrowSystemError(errno, what + " kann nicht geöffnet werden");
    }
    return fd;
}

UniqueFd CreateResponseFile(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!Oddity(info).empty()) ThrowNotPlainFile(kResponseRole, path, Oddity(info));
        RemoveFile(path);
    }
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) ThrowFileError(errno, path, "angelegt");
    return fd;
}

void WriteRequestFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueFd fd = OpenExchangeFile(path, ExchangeAccess::kWriteNew, kRequestRole);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno, path, "geschrieben");
        }
        done += static_cast<std::size_t>(n);
    }
    if (fd.close() != 0 && errno != EINTR) ThrowFileError(errno, path, "geschrieben");
}

std::vector<std::uint8_t> ReadResponseFile(const std::string& path) {
    const UniqueFd fd = OpenExchangeFile(path, ExchangeAccess::kRead, kResponseRole);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) ThrowFileError(errno, path, "abgefragt");
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
        const ssize_t n = ::read(fd.get(), buffer.data() + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno, path, "gelesen");
        }
        if (n == 0) ThrowResponseChanged(path);
        done += static_cast<std::size_t>(n);
    }
    return buffer;
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) ThrowFileError(errno, path, "gelöscht");
}

}  // namespace keil
