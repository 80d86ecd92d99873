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

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// What stands in the file system instead of a plain file with a single
// link, or "" for a plain file with a single link.
std::string Oddity(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) return "a symbolic link";
    if (S_ISDIR(info.st_mode)) return "a folder";
    if (S_ISFIFO(info.st_mode)) return "a named pipe";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device";
    if (!S_ISREG(info.st_mode)) return "neither a file nor a folder";
    if (info.st_nlink != 1) return "a file with " + std::to_string(info.st_nlink) + " links";
    return "";
}

}  // namespace

UniqueFd OpenExchangeFile(const std::string& path, ExchangeAccess access, const std::string& role) {
    const bool write = access == ExchangeAccess::kWriteNew;
    // Neither follows a symbolic link nor waits for the other end of a pipe;
    // truncates only once the file is known to be a plain one.
    const int flags = (write ? O_WRONLY | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const std::string what = "the " + role + " " + Quoted(path);
    UniqueFd fd(::open(path.c_str(), flags, 0666));
    struct stat info {};
    if (!fd.valid()) {
        const int error = errno;
        if (::lstat(path.c_str(), &info) == 0 && !Oddity(info).empty()) ThrowNotPlainFile(role, path, Oddity(info));
        ThrowSystemError(error, "Cannot open " + what + (write ? " for writing" : " for reading"));
    }
    if (::fstat(fd.get(), &info) != 0) ThrowSystemError(errno, "Cannot query " + what);
    if (!Oddity(info).empty()) ThrowNotPlainFile(role, path, Oddity(info));
    if (write && ::ftruncate(fd.get(), 0) != 0) ThrowSystemError(errno, "Cannot empty " + what);
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status == -1 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) == -1) {
        ThrowSystemError(errno, "Cannot open " + what);
    }
    return fd;
}

void WriteRequestFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueFd fd = OpenExchangeFile(path, ExchangeAccess::kWriteNew, "request file");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowSystemError(errno, "Cannot write " + Quoted(path));
        }
        done += static_cast<std::size_t>(n);
    }
    if (fd.close() != 0 && errno != EINTR) ThrowSystemError(errno, "Cannot write " + Quoted(path));
}

std::vector<std::uint8_t> ReadResponseFile(const std::string& path) {
    const UniqueFd fd = OpenExchangeFile(path, ExchangeAccess::kRead, "response file");
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) ThrowSystemError(errno, "Cannot query the size of " + Quoted(path));
    if (info.st_size > std::numeric_limits<std::int32_t>::max()) {
        throw Error(kErrResponseTooLarge,
                    "The file " + Quoted(path) + " is 2 GiB or larger and is not read (" +
                        std::to_string(info.st_size) + " bytes).");
    }
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
            ThrowSystemError(errno, "Cannot read " + Quoted(path));
        }
        if (n == 0) {
            throw Error(kErrResponseChanged, "The file " + Quoted(path) +
                                                 " became shorter while it was read.");
        }
        done += static_cast<std::size_t>(n);
    }
    return buffer;
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) ThrowSystemError(errno, "Cannot delete " + Quoted(path));
}

}  // namespace keil
