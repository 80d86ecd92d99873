#include "system/small_file.posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "system/unique_fd.posix.h"

namespace keil {

std::string ReadSmallFile(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!fd.valid()) return text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace keil
