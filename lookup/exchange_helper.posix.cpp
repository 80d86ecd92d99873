#include "exchange_helper.posix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "error.h"
#include "exchange_protocol.posix.h"
#include "fibu_dir.h"
#include "fixed_paths.h"
#include "spawn.posix.h"

namespace keil {
namespace {

namespace protocol = exchange;

[[noreturn]] void ThrowHelperMissing() { ThrowExchangeHelper(KEIL_EXCHANGE_HELPER, FibuDir()); }

// The connection to the helper, and the helper's process, which ends when
// the connection closes.
class Helper {
public:
    Helper() {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
            ThrowSystemError(errno, "Die Verbindung zum Hilfsprogramm für die Austauschdateien kann nicht angelegt werden");
        }
        socket_.reset(ends[0]);
        const UniqueFd theirs(ends[1]);
        SpawnFileActions actions;
        actions.Dup2(theirs.get(), STDIN_FILENO);
        actions.Open(STDOUT_FILENO, "/dev/null", O_WRONLY);
        actions.CloseFrom(STDERR_FILENO + 1);
        SpawnAttributes attributes;
        attributes.DefaultSignals();
        std::string argv0 = KEIL_EXCHANGE_HELPER;
        char* argv[] = {argv0.data(), nullptr};
        char* noEnvironment[] = {nullptr};
        if (::posix_spawn(&pid_, KEIL_EXCHANGE_HELPER, actions.get(), attributes.get(), argv, noEnvironment) != 0) {
            ThrowHelperMissing();
        }
    }
    ~Helper() {
        socket_.reset();
        ::waitpid(pid_, nullptr, 0);
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    // Sends the request `act` for `file` and returns the reply, with the
    // descriptor that came with it, if any. A helper that is gone or
    // answers out of turn raises the helper's error.
    protocol::Reply Ask(char act, char file, UniqueFd& received) {
        const char request[2] = {act, file};
        if (::send(socket_.get(), request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request)) {
            ThrowHelperMissing();
        }
        protocol::Reply reply{};
        iovec part{&reply, sizeof reply};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t n;
        do {
            n = ::recvmsg(socket_.get(), &message, MSG_CMSG_CLOEXEC);
        } while (n < 0 && errno == EINTR);
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS &&
                header->cmsg_len == CMSG_LEN(sizeof(int))) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
                received.reset(fd);
            }
        }
        if (n != static_cast<ssize_t>(sizeof reply) || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
            ThrowHelperMissing();
        }
        return reply;
    }

private:
    UniqueFd socket_;
    pid_t pid_ = 0;
};

Helper& TheHelper() {
    static Helper helper;
    return helper;
}

char FileOf(const std::string& role) { return role == kRequestRole ? protocol::kRequest : protocol::kResponse; }

// Raises the error of a reply that is not kDone.
void CheckReply(const protocol::Reply& reply, const std::string& role, const std::string& path) {
    switch (reply.outcome) {
        case protocol::kDone:
            return;
        case protocol::kNotPlainFile:
            ThrowNotPlainFile(role, path, OddityOfMode(reply.mode));
        case protocol::kReplaced:
            ThrowReplaced(role, path);
        case protocol::kSystemError:
            // A helper without the group's right may not write the folder.
            if (reply.step != protocol::kChecked && (reply.code == EACCES || reply.code == EPERM)) {
                ThrowHelperMissing();
            }
            ThrowFileError(reply.code, role, path,
                           reply.step == protocol::kCreated   ? "angelegt"
                           : reply.step == protocol::kChecked ? "geprüft"
                                                              : "gelöscht");
        default:
            ThrowHelperMissing();
    }
}

}  // namespace

std::string OddityOfMode(std::uint32_t mode) {
    if (S_ISLNK(mode)) return "eine symbolische Verknüpfung";
    if (S_ISDIR(mode)) return "ein Ordner";
    if (S_ISFIFO(mode)) return "eine benannte Pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "ein Gerät";
    return "ein Socket oder eine andere besondere Datei";
}

UniqueFd MakeExchangeFile(const std::string& role, const std::string& path) {
    UniqueFd fd;
    const protocol::Reply reply = TheHelper().Ask(protocol::kMake, FileOf(role), fd);
    CheckReply(reply, role, path);
    if (!fd.valid()) ThrowHelperMissing();
    return fd;
}

void RemoveExchangeFile(const std::string& role, const std::string& path) {
    UniqueFd unexpected;
    CheckReply(TheHelper().Ask(protocol::kRemove, FileOf(role), unexpected), role, path);
}

}  // namespace keil
