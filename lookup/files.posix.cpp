#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <new>

#include "error.h"
#include "unique_fd.posix.h"

namespace keil {
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

void WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) ThrowSystemError(errno, "Cannot open " + Quoted(path) + " for writing");
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

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) ThrowSystemError(errno, "Cannot open " + Quoted(path) + " for reading");
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
