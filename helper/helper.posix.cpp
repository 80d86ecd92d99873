// The helper: the only program that writes the lookup folder on
// Linux. Installed setgid to the group that owns the folder, it makes the
// two exchange files there for the clerk who started it and removes them
// again; clerks themselves may not write the folder, so that nobody can
// place a file beside the lookup program that it would load in another
// clerk's session.
//
// It does exactly this, for the lookup library that started it, over the
// socket at its standard input (see protocol.posix.h), to in.txt
// and then out.txt:
// - make: a leftover plain file at the name is removed (whatever its owner
//   or link count); anything else there is reported and stays; the file is
//   then created exclusively, mode 0600, owned by the clerk, and its
//   descriptor handed over; when out.txt fails, the in.txt just made is
//   removed again and neither is handed over;
// - remove: only the file it made on this connection, and only while the
//   name still leads to it.
// A make first takes the folder's lock (flock on the folder), waiting
// without limit, and holds it until the remove, a make that fails, or the
// end of the connection: so one run at a time uses the exchange files,
// and a clerk's own helper waits its turn like everybody's. The library
// ends this helper when it stops waiting for the answer (its clerk broke
// the lookup off, or this helper did not answer while nobody held the
// lock).
// It trusts nothing of its caller: no arguments, an empty environment, no
// locale, its own umask, only the folder fixed at build time, every
// message checked. It holds the group's right only for the moment of each
// creation and removal. Anything else is refused on standard error and
// ends it with status 2.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "helper/protocol.posix.h"

namespace {

using namespace keil::helper;

constexpr int kSocket = STDIN_FILENO;
constexpr int kRefused = 2;

[[noreturn]] void Refuse(const char* what) {
    std::fprintf(stderr,
                 "keilbrecher-exchange: %s. Das Hilfsprogramm endet. Es legt nur die Austauschdateien des "
                 "Programms „Der Keilbrecher“ an und wird nur von ihm gestartet.\n",
                 what);
    std::_Exit(kRefused);
}

// The group right of the setgid program, taken up and given back around
// each act that needs it. Dropped at the start.
class GroupRight {
public:
    GroupRight() : group_(::getegid()), own_(::getgid()) {
        if (::setegid(own_) != 0) Refuse("Die Gruppe kann nicht abgegeben werden");
    }
    void Take() const {
        if (::setegid(group_) != 0) Refuse("Die Gruppe kann nicht angenommen werden");
    }
    void Give() const {
        if (::setegid(own_) != 0) Refuse("Die Gruppe kann nicht abgegeben werden");
    }

private:
    gid_t group_;
    gid_t own_;
};

// Descriptors 0 to 2 exist, so that no file made later becomes standard
// output or error; every other descriptor of the caller's is closed.
void TidyDescriptors() {
    for (int fd = STDOUT_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", O_RDWR) != fd) std::_Exit(kRefused);
    }
    if (::close_range(STDERR_FILENO + 1, ~0U, 0) != 0) Refuse("Fremde Dateideskriptoren lassen sich nicht schließen");
    int type = 0;
    int domain = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(kSocket, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_SEQPACKET) {
        Refuse("Die Standardeingabe ist nicht der Socket des Programms");
    }
    length = sizeof domain;
    if (::getsockopt(kSocket, SOL_SOCKET, SO_DOMAIN, &domain, &length) != 0 || domain != AF_UNIX) {
        Refuse("Die Standardeingabe ist nicht der Socket des Programms");
    }
}

// Sends `replies` with the descriptors of the files made, `count` of them.
void Send(const Replies& replies, const int* fds, std::size_t count) {
    iovec part{const_cast<Replies*>(&replies), sizeof replies};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))] = {};
    if (count > 0) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(count * sizeof(int));
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(count * sizeof(int));
        std::memcpy(CMSG_DATA(header), fds, count * sizeof(int));
    }
    if (::sendmsg(kSocket, &message, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof replies)) std::_Exit(0);
}

Reply Failed(Step step, int code) { return {kSystemError, step, code, 0}; }

// One exchange file: its name in the folder, and the file the helper made
// there on this connection, held so that its inode cannot pass to another
// file while the helper may still remove it by name.
struct Exchange {
    const char* name;
    int made = -1;
};

// Whether nobody but root and the clerk may change the folder open at
// `fd`, which is on the way to the lookup folder: its owner one of them,
// nobody else may write it (under the sticky bit nobody may remove or
// rename another's entry), and no extended ACL grants more.
bool OnlyOursToChange(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if (info.st_uid != 0 && info.st_uid != ::getuid()) return false;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0) return false;
    char name[32];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    return ::getxattr(name, "system.posix_acl_access", nullptr, 0) < 0 && (errno == ENODATA || errno == ENOTSUP);
}

// Opens the lookup folder from the root down, each folder through the one
// above it and none through a symbolic link, so that nobody who may
// change a folder on the way leads the helper elsewhere: such a folder
// gives EPERM, a link ELOOP or ENOTDIR.
int OpenFromRoot() {
    int at = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const char* part = KEIL_EXCHANGE_FOLDER; at >= 0;) {
        while (*part == '/') ++part;
        const char* end = std::strchr(part, '/');
        if (end == nullptr) end = part + std::strlen(part);
        if (end == part) return at;  // the path ended with its separator
        if (!OnlyOursToChange(at)) {
            ::close(at);
            errno = EPERM;
            return -1;
        }
        char name[256] = {};
        if (static_cast<std::size_t>(end - part) >= sizeof name) {
            ::close(at);
            errno = ENAMETOOLONG;
            return -1;
        }
        std::memcpy(name, part, static_cast<std::size_t>(end - part));
        part = end;
        while (*part == '/') ++part;
        const int next = ::openat(at, name, (*part == '\0' ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(at);
        errno = error;
        at = next;
    }
    return at;
}

// The lookup folder, opened anew for each request by its fixed path, so
// that a folder made anew is the one used.
class Folder {
public:
    Folder() : fd_(OpenFromRoot()), error_(errno) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return fd_; }
    int error() const { return error_; }

private:
    int fd_;
    int error_;
};

class Helper {
public:
    explicit Helper(const GroupRight& right) : right_(right) {}

    Reply Make(const Folder& folder, Exchange& file) {
        if (folder.fd() < 0) return Failed(kChecked, folder.error());
        const int dir = folder.fd();
        struct stat leftover {};
        if (::fstatat(dir, file.name, &leftover, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!S_ISREG(leftover.st_mode)) return {kNotPlainFile, kChecked, 0, leftover.st_mode};
            right_.Take();
            const int removed = ::unlinkat(dir, file.name, 0);
            const int error = errno;
            right_.Give();
            if (removed != 0 && error != ENOENT) return Failed(kCleared, error);
        } else if (errno != ENOENT) {
            return Failed(kChecked, errno);
        }
        // Exclusive creation never follows a link and never opens a file
        // that another program put there meanwhile.
        right_.Take();
        const int fd = ::openat(dir, file.name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        const int error = errno;
        right_.Give();
        if (fd < 0) return Failed(kCreated, error);
        if (file.made >= 0) ::close(file.made);
        file.made = fd;
        return {kDone, kCreated, 0, 0};
    }

    Reply Remove(const Folder& folder, Exchange& file) {
        if (file.made < 0) Refuse("Die Datei ist auf dieser Verbindung nicht angelegt worden");
        if (folder.fd() < 0) return Failed(kDeleted, folder.error());
        const int dir = folder.fd();
        struct stat held {};
        struct stat named {};
        if (::fstat(file.made, &held) != 0) return Failed(kDeleted, errno);
        if (::fstatat(dir, file.name, &named, AT_SYMLINK_NOFOLLOW) != 0) return Failed(kDeleted, errno);
        if (named.st_dev != held.st_dev || named.st_ino != held.st_ino) return {kReplaced, kDeleted, 0, 0};
        right_.Take();
        const int removed = ::unlinkat(dir, file.name, 0);
        const int error = errno;
        right_.Give();
        if (removed != 0) return Failed(kDeleted, error);
        ::close(file.made);
        file.made = -1;
        return {kDone, kDeleted, 0, 0};
    }

private:
    const GroupRight& right_;
};

// The folder's lock, on an open file of its own: -1 while none is held.
// flock belongs to the open file, not the descriptor, so a duplicate of the
// folder's descriptor would keep the lock until the folder closes too -
// after the reply, when the library already let another clerk's run wait.
int TakeLock(const Folder& folder) {
    if (folder.fd() < 0) return -1;
    const int lock = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0) Refuse("Die Sperre für den Ordner lässt sich nicht anlegen");
    while (::flock(lock, LOCK_EX) != 0) {
        if (errno != EINTR) Refuse("Der Ordner lässt sich nicht sperren");
    }
    // The library gave up waiting meanwhile: nothing to make for it.
    pollfd socket{kSocket, POLLIN, 0};
    if (::poll(&socket, 1, 0) > 0 && (socket.revents & (POLLHUP | POLLERR)) != 0) std::_Exit(0);
    return lock;
}

void ReleaseLock(int& lock) {
    if (lock >= 0) ::close(lock);
    lock = -1;
}

}  // namespace

int main(int argc, char**) {
    const GroupRight right;
    ::prctl(PR_SET_DUMPABLE, 0);
    TidyDescriptors();
    if (argc != 1) Refuse("Das Hilfsprogramm nimmt keine Argumente");
    if (::clearenv() != 0) Refuse("Die Umgebung lässt sich nicht leeren");
    ::umask(077);
    if (::chdir("/") != 0) Refuse("Der Wurzelordner ist nicht erreichbar");

    Helper helper(right);
    Exchange request{"in.txt"};
    Exchange response{"out.txt"};
    int lock = -1;
    for (;;) {
        char bytes[4] = {};
        iovec part{bytes, sizeof bytes};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        // No control buffer: descriptors sent to the helper are dropped,
        // and the message is marked truncated.
        const ssize_t n = ::recvmsg(kSocket, &message, MSG_CMSG_CLOEXEC);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            Refuse("Der Socket lässt sich nicht lesen");
        }
        if (n != 1 || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) Refuse("Unbekannte Anfrage");
        Replies replies{};
        replies.response = {kSkipped, 0, 0, 0};
        const Folder folder;
        if (bytes[0] == kMake) {
            if (lock >= 0) Refuse("Die Austauschdateien sind auf dieser Verbindung schon angelegt");
            lock = TakeLock(folder);
            replies.request = helper.Make(folder, request);
            if (replies.request.outcome == kDone) {
                replies.response = helper.Make(folder, response);
                // A request file without its response file serves no run.
                if (replies.response.outcome != kDone) (void)helper.Remove(folder, request);
            }
            if (replies.response.outcome != kDone) ReleaseLock(lock);
            const int made[] = {request.made, response.made};
            Send(replies, made, replies.response.outcome == kDone ? 2 : 0);
        } else if (bytes[0] == kRemove) {
            replies.request = helper.Remove(folder, request);
            if (replies.request.outcome == kDone) replies.response = helper.Remove(folder, response);
            ReleaseLock(lock);
            Send(replies, nullptr, 0);
        } else {
            Refuse("Unbekannte Anfrage");
        }
    }
}
