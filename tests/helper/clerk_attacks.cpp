// What a clerk tries on the lookup folder and its helper, run as a
// throwaway user who is not in the folder's group (see setgid.sh). Every
// way to place, replace or remove a file there must fail; the helper makes
// and removes only her own two exchange files and refuses everything else.
// Prints "ok:" or "FAIL:" a line and the count at the end.
// usage: clerk_attacks SCRATCH   (a folder of hers on the folder's file system)

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "helper/protocol.posix.h"

namespace {

namespace fs = std::filesystem;
using namespace keil::helper;

const std::string kFolder = KEIL_STAGED_FOLDER;
const std::string kHelper = KEIL_STAGED_HELPER;
int failures = 0;
int passes = 0;

bool Check(bool good, const std::string& what) {
    std::printf("%s: %s\n", good ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    ++(good ? passes : failures);
    return good;
}

// The folder's entries, for the checks that she left nothing there.
std::string Entries() {
    std::string all;
    for (const auto& e : fs::directory_iterator(kFolder)) all += e.path().filename().string() + " ";
    return all;
}

// A helper started as the library starts it, with a socket of `stdinKind`
// at its standard input (SOCK_SEQPACKET as it should be), `args` after its
// name and `folder` as its current folder.
struct Helper {
    explicit Helper(int stdinKind = SOCK_SEQPACKET, std::vector<std::string> args = {}, const char* folder = "/") {
        int ends[2] = {-1, -1};
        ::socketpair(AF_UNIX, stdinKind | SOCK_CLOEXEC, 0, ends);
        socket = ends[0];
        // A datagram socket has no end to read when the helper is gone.
        const timeval patience{5, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        ::posix_spawn_file_actions_addchdir_np(&actions, folder);
        std::vector<char*> argv{const_cast<char*>(kHelper.c_str())};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        char hostile[] = "LANGUAGE=en";
        char* env[] = {hostile, nullptr};
        ::posix_spawn(&pid, kHelper.c_str(), &actions, nullptr, argv.data(), env);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
    }
    ~Helper() { Exit(); }

    // The replies to `request`; the descriptors that come with them are
    // dropped. An empty request sends nothing and takes the answer to one
    // sent before.
    Replies Ask(const std::string& request) {
        if (!request.empty()) ::send(socket, request.data(), request.size(), MSG_NOSIGNAL);
        Replies replies{{-1, -1, -1, 0}, {-1, -1, -1, 0}};
        if (::recv(socket, &replies, sizeof replies, 0) != sizeof replies) replies.request.outcome = -1;
        return replies;
    }

    // The helper's exit status, once the socket is closed.
    int Exit() {
        if (socket >= 0) ::close(socket);
        socket = -1;
        if (pid > 0) ::waitpid(pid, &status, 0);
        pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int socket = -1;
    pid_t pid = 0;
    int status = 0;
};

// The errno of a call that failed, or 0 for one that did not.
int ErrorOf(int result) { return result == -1 ? errno : 0; }

}  // namespace

int main(int, char** argv) {
    const std::string scratch = argv[1];
    const std::string program = kFolder + "Lief-adr.exe";
    const std::string before = Entries();

    // The helper is effectively setgid: the group's right, dropped at once,
    // is still its saved group.
    {
        Helper helper;
        const Replies made = helper.Ask("m");
        if (!Check(made.request.outcome == kDone && made.response.outcome == kDone, "the helper makes in.txt and out.txt")) {
            std::printf("FAIL: the helper is not effectively setgid (a nosuid mount, or no_new_privs?)\n");
            return 1;
        }
        for (const char* name : {"in.txt", "out.txt"}) {
            struct stat info {};
            Check(::lstat((kFolder + name).c_str(), &info) == 0 && info.st_uid == ::getuid() &&
                      (info.st_mode & 07777) == 0600 && info.st_nlink == 1,
                  std::string(name) + " is hers, mode 0600, one link");
        }
        // "Gid:" real, effective, saved and file system group.
        std::ifstream status("/proc/" + std::to_string(helper.pid) + "/status");
        std::string line;
        while (std::getline(status, line) && !line.starts_with("Gid:")) {
        }
        unsigned real = 0, effective = 1;
        std::sscanf(line.c_str(), "Gid: %u %u", &real, &effective);
        Check(real == ::getgid() && effective == real, "it gave the group's right back after making them: " + line);
        // A link of her own elsewhere, which would have blocked the next
        // lookups; the next make removes the leftover all the same.
        Check(::link((kFolder + "in.txt").c_str(), (scratch + "/her-link").c_str()) == 0, "she links in.txt elsewhere");
        Check(helper.Exit() == 0, "the helper ends with its socket");
    }
    {
        Helper first;
        // Started in her own folder, it works in the lookup folder alone.
        Helper second(SOCK_SEQPACKET, {}, scratch.c_str());
        Check(first.Ask("m").request.outcome == kDone, "a leftover she hard-linked is removed and in.txt made anew");
        std::error_code gone;
        Check(fs::hard_link_count(scratch + "/her-link", gone) == 1, "her own link stays, the leftover's other name gone");
        // The second's make waits for the first's lock: had it made its
        // files at once, the first would find its own replaced.
        ::send(second.socket, "m", 1, MSG_NOSIGNAL);
        ::usleep(300 * 1000);
        Check(first.Ask("r").request.outcome == kDone, "a second helper's make waits until the first removed its files");
        const Replies made = second.Ask("");
        Check(made.request.outcome == kDone && made.response.outcome == kDone, "and then makes its own");
        Check(!fs::exists(scratch + "/out.txt") && second.Ask("r").response.outcome == kDone && Entries() == before,
              "another removes the ones it made in the lookup folder, not in its current one");
    }

    // Nothing in the folder by her own hand.
    const std::string plant = scratch + "/shcore.dll";
    std::ofstream(plant) << "MZ";
    const struct {
        const char* what;
        int error;
    } kOwnHand[] = {
        {"create a file", ErrorOf(::open((kFolder + "shcore.dll").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0755))},
        {"rename a file over the lookup program", ErrorOf(::rename(plant.c_str(), program.c_str()))},
        {"remove the lookup program", ErrorOf(::unlink(program.c_str()))},
        {"hard-link the lookup program", ErrorOf(::link(program.c_str(), (kFolder + "copy.exe").c_str()))},
        {"hard-link her file in", ErrorOf(::link(plant.c_str(), (kFolder + "shcore.dll").c_str()))},
        {"make a symbolic link", ErrorOf(::symlink("/etc/passwd", (kFolder + "in.txt").c_str()))},
        {"make a named pipe", ErrorOf(::mkfifo((kFolder + "in.txt").c_str(), 0600))},
        {"make a folder", ErrorOf(::mkdir((kFolder + "sub").c_str(), 0700))},
    };
    for (const auto& attempt : kOwnHand) {
        Check(attempt.error == EACCES || attempt.error == EPERM,
              std::string("she cannot ") + attempt.what + " (" + std::strerror(attempt.error) + ")");
    }

    // Whatever she asks of the helper besides: refused, status 2.
    const struct {
        const char* what;
        int stdinKind;
        std::vector<std::string> args;
        std::string request;
    } kRefusals[] = {
        {"an argument", SOCK_SEQPACKET, {"/etc/shadow"}, "m"},
        {"a datagram socket", SOCK_DGRAM, {}, "m"},
        {"a stream socket", SOCK_STREAM, {}, "m"},
        {"an unknown request", SOCK_SEQPACKET, {}, "x"},
        {"a longer message", SOCK_SEQPACKET, {}, "m/../../etc"},
        {"a two-byte request", SOCK_SEQPACKET, {}, "mr"},
        {"a removal of files it did not make", SOCK_SEQPACKET, {}, "r"},
    };
    for (const auto& r : kRefusals) {
        Helper helper(r.stdinKind, r.args);
        Check(helper.Ask(r.request).request.outcome == -1 && helper.Exit() == 2, std::string("the helper refuses ") + r.what);
    }

    Check(Entries() == before, "the folder holds what it held: " + Entries());
    std::printf("%d passed, %d failed\n", passes, failures);
    return failures == 0 ? 0 : 1;
}
