#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "error.h"
#include "launcher.h"

extern char** environ;

namespace keil {
namespace {

void CheckPreparation(int rc) {
    if (rc != 0) ThrowSystemError(rc, "Der Start des Suchprogramms kann nicht vorbereitet werden");
}

// posix_spawn's file actions and attributes, destroyed on every road.
class SpawnFileActions {
public:
    SpawnFileActions() { Check(::posix_spawn_file_actions_init(&actions_)); }
    ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    void Dup2(int fd, int target) { Check(::posix_spawn_file_actions_adddup2(&actions_, fd, target)); }
    void CloseFrom(int lowest) { Check(::posix_spawn_file_actions_addclosefrom_np(&actions_, lowest)); }
    void ChangeFolder(const std::string& folder) {
        if (!folder.empty()) Check(::posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str()));
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    static void Check(int rc) { CheckPreparation(rc); }
    posix_spawn_file_actions_t actions_{};
};

class SpawnAttributes {
public:
    SpawnAttributes() { Check(::posix_spawnattr_init(&attr_)); }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    // Every signal starts with its default action and none is blocked,
    // whatever this program ignores, handles or blocks.
    void DefaultSignals() {
        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        Check(::posix_spawnattr_setsigdefault(&attr_, &all));
        Check(::posix_spawnattr_setsigmask(&attr_, &none));
        Check(::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    }
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    static void Check(int rc) { CheckPreparation(rc); }
    posix_spawnattr_t attr_{};
};

}  // namespace

LaunchedProcess::~LaunchedProcess() {
    // The wait normally reaps the child. Should it not have (the wait could
    // not open the process), reap it here if it has ended, so that it does
    // not stay behind as a zombie.
    if (id_ > 0) ::waitpid(static_cast<pid_t>(id_), nullptr, WNOHANG);
}

LaunchedProcess StartProgram(const std::string& program, const ExchangeFile& input, const ExchangeFile& output) {
    // Both files are open close-on-exec; dup2 in the child clears the flag
    // on the copies at 0 and 1 only.
    SpawnFileActions actions;
    actions.Dup2(static_cast<int>(input.native()), STDIN_FILENO);
    actions.Dup2(static_cast<int>(output.native()), STDOUT_FILENO);
    actions.CloseFrom(STDERR_FILENO + 1);
    // A lookup program that opens its data by a relative name finds it.
    actions.ChangeFolder(FolderOf(program));

    SpawnAttributes attributes;
    attributes.DefaultSignals();

    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    pid_t pid = 0;
    // posix_spawn reports a failed exec as its result and reaps the child
    // that failed, so a program that cannot start leaves no process.
    const int rc = ::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv, environ);
    if (rc != 0) ThrowSystemError(rc, "Das Suchprogramm " + Quoted(program) + " kann nicht gestartet werden");
    return LaunchedProcess(pid, 0);
}

}  // namespace keil
