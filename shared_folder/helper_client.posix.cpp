#include "shared_folder/helper_client.posix.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>

#include "helper/protocol.posix.h"
#include "shared_folder/folder_lock.h"
#include "system/error.h"
#include "system/small_file.posix.h"
#include "system/spawn.posix.h"

namespace keil {
namespace {

namespace protocol = helper;

[[noreturn]] void ThrowHelperMissing(const ExchangePlace& place) { ThrowExchangeHelper(place.helper, place.folder); }

// The process that holds the folder's lock, by /proc/locks: its ID and
// user; empty when nobody holds it.
struct LockHolder {
    std::string pid;
    std::string user;
};
LockHolder FolderLockHolder(const std::string& folder);

// The connection to the helper, and the helper's process, which ends when
// the connection closes.
class Helper {
public:
    explicit Helper(const ExchangePlace& place) : place_(place) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
            ThrowSystemError(errno, "Die Verbindung zum Hilfsprogramm für die Austauschdateien kann nicht hergestellt werden");
        }
        socket_.reset(ends[0]);
        const UniqueFd theirs(ends[1]);
        SpawnFileActions actions;
        actions.Dup2(theirs.get(), STDIN_FILENO);
        actions.Open(STDOUT_FILENO, "/dev/null", O_WRONLY);
        actions.CloseFrom(STDERR_FILENO + 1);
        SpawnAttributes attributes;
        attributes.DefaultSignals();
        std::string argv0 = place_.helper;
        char* argv[] = {argv0.data(), nullptr};
        char* noEnvironment[] = {nullptr};
        if (::posix_spawn(&pid_, place_.helper.c_str(), actions.get(), attributes.get(), argv, noEnvironment) != 0) {
            ThrowHelperMissing(place_);
        }
    }
    // A helper that has not answered (it may wait for the folder's lock,
    // which would keep it from seeing the socket close) is ended first.
    ~Helper() {
        socket_.reset();
        if (waiting_) ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    // Sends the request `act` and returns the replies, with the
    // descriptors that came with them, in order; nothing when the helper
    // is gone. A helper that answers out of turn raises the helper's
    // error. `hooks`, where there are any, get their turn meanwhile.
    std::optional<protocol::Replies> Ask(char act, UniqueFd (&received)[2], WaitHooks* hooks) {
        ssize_t sent;
        while ((sent = ::send(socket_.get(), &act, 1, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
        }
        if (sent != 1) return std::nullopt;
        WaitForAnswer(hooks);
        protocol::Replies replies{};
        iovec part{&replies, sizeof replies};
        alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))] = {};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        // A plain blocking wait: polling for the answer first spun a core,
        // which made eight clerks looking up at once on two cores slower.
        ssize_t n;
        while ((n = ::recvmsg(socket_.get(), &message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
        }
        std::size_t count = 0;
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
            for (std::size_t at = 0; CMSG_LEN((at + 1) * sizeof(int)) <= header->cmsg_len; ++at) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(header) + at * sizeof(int), sizeof fd);
                UniqueFd owned(fd);
                if (count < 2) received[count++] = std::move(owned);
            }
        }
        if (n <= 0) return std::nullopt;
        if (n != static_cast<ssize_t>(sizeof replies) || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
            ThrowHelperMissing(place_);
        }
        return replies;
    }

private:
    // Waits for the helper's answer while it waits for the folder's lock
    // (a make) or holds it (a removal), as long as other runs hold the
    // lock, looking every kLookForHolderEvery who holds it; when no other
    // run holds it, this helper itself must answer within
    // HolderWatch::kNobodyGrace. A failed wait goes on to recvmsg, which
    // tells what is wrong.
    void WaitForAnswer(WaitHooks* hooks) {
        waiting_ = true;
        HolderWatch watch(HolderWatch::Clock::now());
        if (hooks != nullptr) hooks->Waiting(WaitingFor::kOwnLookup, "");
        while (WaitUntilReady(socket_.get(), kLookForHolderEvery, hooks) == Waited::kTimedOut) {
            LockHolder holder = FolderLockHolder(place_.folder);
            if (holder.pid == std::to_string(pid_)) holder = {};
            if (hooks != nullptr) {
                hooks->Waiting(holder.pid.empty() ? WaitingFor::kOwnLookup : WaitingFor::kOtherRun, holder.user);
            }
            if (watch.Saw(holder.pid, HolderWatch::Clock::now()) == HolderWatch::Verdict::kNobodyHolds) {
                ThrowHelperNotAnswering(place_.helper, pid_);
            }
        }
        waiting_ = false;
    }

    ExchangePlace place_;
    UniqueFd socket_;
    pid_t pid_ = 0;
    bool waiting_ = false;
};

std::unique_ptr<Helper>& TheHelper() {
    static std::unique_ptr<Helper> helper;
    return helper;
}

// Asks this process's helper, started on the first request. A helper that
// died since (ended by another program, or by a limit of the system's) is
// started again once for a make; a removal goes only to the helper that
// made the files, and one that died meanwhile ended during the run. A
// helper that did not answer is ended.
protocol::Replies AskHelper(const ExchangePlace& place, char act, UniqueFd (&received)[2], WaitHooks* hooks) {
    std::unique_ptr<Helper>& helper = TheHelper();
    for (int start = 0; start < 2; ++start) {
        if (!helper) helper = std::make_unique<Helper>(place);
        try {
            if (const std::optional<protocol::Replies> replies = helper->Ask(act, received, hooks)) return *replies;
        } catch (const Error&) {
            helper.reset();
            throw;
        }
        helper.reset();
        if (act != protocol::kMake) ThrowHelperEnded(place.helper);
    }
    ThrowHelperMissing(place);
}

// What stands at an exchange file's name instead of a plain file, by its
// st_mode, in the words of kErrNotPlainFile's text.
std::string OddityOfMode(std::uint32_t mode) {
    if (S_ISLNK(mode)) return "eine symbolische Verknüpfung";
    if (S_ISDIR(mode)) return "ein Ordner";
    if (S_ISFIFO(mode)) return "eine benannte Pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "ein Gerät";
    return "eine besondere Datei";
}

// Raises the error of a reply that is not kDone.
void CheckReply(const ExchangePlace& place, const protocol::Reply& reply, const std::string& role,
                const std::string& path) {
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
                ThrowHelperMissing(place);
            }
            ThrowFileError(reply.code, role, path,
                           reply.step == protocol::kCreated   ? "angelegt"
                           : reply.step == protocol::kChecked ? "geprüft"
                                                              : "gelöscht");
        default:
            ThrowHelperMissing(place);
    }
}

// Whether the process `pid` has an open file that holds the flock of the
// file `device` ("08:01:5678"), by its descriptors' fdinfo; nothing where
// they cannot be read (another user's process). A process that is gone
// holds nothing.
std::optional<bool> HoldsLock(const std::string& pid, const std::string& device) {
    std::error_code error;
    std::filesystem::directory_iterator descriptor("/proc/" + pid + "/fdinfo", error);
    if (error) return error == std::errc::no_such_file_or_directory ? std::optional(false) : std::nullopt;
    for (const std::filesystem::directory_iterator end; !error && descriptor != end; descriptor.increment(error)) {
        std::istringstream info(ReadSmallFile(descriptor->path().string()));
        for (std::string line; std::getline(info, line);) {
            if (line.starts_with("lock:") && line.find(" FLOCK ") != std::string::npos &&
                line.find(" " + device + " ") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

// The process `pid` with its user, read from its status, not from its
// folder's owner: the helper that holds a lock is not dumpable.
LockHolder Holder(const std::string& pid) {
    std::istringstream status(ReadSmallFile("/proc/" + pid + "/status"));
    std::string uid;
    for (std::string entry; std::getline(status, entry);) {
        if (entry.starts_with("Uid:")) uid = std::to_string(std::strtoul(entry.c_str() + 4, nullptr, 10));
    }
    if (uid.empty()) return {pid, ""};
    const passwd* user = ::getpwuid(static_cast<uid_t>(std::stoul(uid)));
    return {pid, user != nullptr ? user->pw_name : uid};
}

LockHolder FolderLockHolder(const std::string& path) {
    struct stat folder {};
    if (::stat(path.c_str(), &folder) != 0) return {};
    std::istringstream locks(ReadSmallFile("/proc/locks"));
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(folder.st_dev), minor(folder.st_dev),
                  static_cast<unsigned long long>(folder.st_ino));
    for (std::string line; std::getline(locks, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF", a shared lock
        // READ; a waiter's line has "->" after the number.
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, file;
        fields >> number >> kind >> mode >> access >> pid >> file;
        if (kind != "FLOCK" || file != device) continue;
        // The process that took the lock holds it, or cannot be looked at.
        if (HoldsLock(pid, device) != false) return Holder(pid);
        // It handed the lock on to a process it started and ended (or its
        // ID names another process now): the process that holds it now,
        // where it can be found; else a holder whom nobody can name.
        std::error_code error;
        std::filesystem::directory_iterator process("/proc", error);
        for (const std::filesystem::directory_iterator end; !error && process != end; process.increment(error)) {
            const std::string other = process->path().filename().string();
            if (other.find_first_not_of("0123456789") == std::string::npos && HoldsLock(other, device) == true) {
                return Holder(other);
            }
        }
        return {pid, ""};
    }
    return {};
}

}  // namespace


MadeExchangeFiles MakeExchangeFiles(const ExchangePlace& place, WaitHooks* hooks) {
    UniqueFd made[2];
    const protocol::Replies replies = AskHelper(place, protocol::kMake, made, hooks);
    CheckReply(place, replies.request, kRequestRole, place.request);
    CheckReply(place, replies.response, kResponseRole, place.response);
    if (!made[0].valid() || !made[1].valid()) ThrowHelperMissing(place);
    return {std::move(made[0]), std::move(made[1])};
}

void DropExchangeHelper() { TheHelper().reset(); }

void RemoveExchangeFiles(const ExchangePlace& place) {
    UniqueFd unexpected[2];
    // The helper holds the lock: it answers at once.
    const protocol::Replies replies = AskHelper(place, protocol::kRemove, unexpected, nullptr);
    CheckReply(place, replies.request, kRequestRole, place.request);
    CheckReply(place, replies.response, kResponseRole, place.response);
}

void ThrowExchangeHelper(const std::string& helper, const std::string& folder) {
    throw Error(kErrExchangeHelper, "Das Hilfsprogramm " + Quoted(helper) +
                                        " fehlt oder darf im Ordner des Suchprogramms " + Quoted(folder) +
                                        " keine Austauschdateien anlegen oder löschen. Deshalb ist keine Suche "
                                        "möglich. " + kTellSupport);
}

void ThrowHelperEnded(const std::string& helper) {
    throw Error(kErrHelperFailed, "Das Hilfsprogramm " + Quoted(helper) +
                                      " hat sich während der Suche unerwartet beendet und die Austauschdateien nicht "
                                      "mehr gelöscht. Wird eine Adresse angezeigt, stammt sie aus dieser Suche. " +
                                      kRestartThenReport);
}

void ThrowHelperNotAnswering(const std::string& helper, long long pid) {
    throw Error(kErrHelperFailed, "Das Hilfsprogramm " + Quoted(helper) + " (Prozess " + std::to_string(pid) +
                                      ") antwortet nicht, obwohl keine andere Suche den Ordner des Suchprogramms "
                                      "belegt; es ist angehalten oder hängt. " + kRestartThenReport);
}

}  // namespace keil
