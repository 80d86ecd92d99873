#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>

#include "shared_folder/exchange_file.h"
#include "shared_folder/exchange_file.posix.h"
#include "shared_folder/helper_client.posix.h"
#include "system/error.h"

namespace keil {

ExchangeFile::ExchangeFile(const std::string& path, const char* role)
    : path_(path), role_(role), nativePath_(path) {}

// The helper takes and holds the lock.
struct ExchangeFiles::Lock {};

ExchangeFiles::ExchangeFiles(const ExchangePlace& place, WaitHooks* hooks)
    : request(place.request, kRequestRole), response(place.response, kResponseRole), place_(place) {
    MadeExchangeFiles made = MakeExchangeFiles(place, hooks);
    request.handle_ = made.request.release();
    response.handle_ = made.response.release();
    request.made_ = response.made_ = true;
}

ExchangeFiles::~ExchangeFiles() {
    if (request.made_) DropExchangeHelper();
}

ExchangeFile::~ExchangeFile() {
    if (handle_ != kNoHandle) ::close(handle_);
}

void ExchangeFile::Write(std::span<const std::uint8_t> bytes) {
    // pwrite leaves the position at the start.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(handle_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno, role_, path_, "geschrieben");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> ExchangeFile::ReadAll() const { return ReadWholeResponse(handle_, path_); }

std::vector<std::uint8_t> ReadWholeResponse(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) ThrowFileError(errno, kResponseRole, path, "geprüft");
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

ExchangeFile::Reserved ExchangeFile::Reserve(std::int64_t end) {
    int rc = 0;
    while ((rc = ::fallocate(handle_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(end))) != 0 && errno == EINTR) {
    }
    if (rc == 0) return Reserved::kDone;
    if (errno == EOPNOTSUPP || errno == ENOSYS) return Reserved::kCannot;
    if (errno == ENOSPC || errno == EDQUOT) return Reserved::kNoRoom;
    ThrowNoRoom(errno, path_);
}

std::int64_t ExchangeFile::Size() const {
    struct stat info {};
    if (::fstat(handle_, &info) != 0) ThrowFileError(errno, role_, path_, "geprüft");
    return static_cast<std::int64_t>(info.st_size);
}

std::int64_t ExchangeFile::FreeRoom() const {
    struct statvfs info {};
    if (::fstatvfs(handle_, &info) != 0) ThrowFileError(errno, role_, path_, "geprüft");
    constexpr auto kMost = static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
    const unsigned long long blockSize = std::max<unsigned long long>(info.f_frsize, 1);
    return static_cast<std::int64_t>(std::min<unsigned long long>(info.f_bavail, kMost / blockSize) * blockSize);
}

void ExchangeFiles::Remove() {
    RemoveExchangeFiles(place_);
    request.made_ = response.made_ = false;
}

}  // namespace keil
