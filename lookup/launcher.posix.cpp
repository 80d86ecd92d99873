#include <sys/wait.h>
#include <unistd.h>

#include "error.h"
#include "launcher.h"
#include "spawn.posix.h"

extern char** environ;

namespace keil {

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
    actions.Dup2(input.native(), STDIN_FILENO);
    actions.Dup2(output.native(), STDOUT_FILENO);
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
    return LaunchedProcess(pid, kNoHandle);
}

}  // namespace keil
