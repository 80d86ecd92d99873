#include "wine_keeper/wine_keeper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <sstream>

#include "process/wine.posix.h"
#include "system/spawn.posix.h"

extern char** environ;

namespace keil {

WineKeeper::WineKeeper(const std::string& program, const std::string& binfmtFolder) {
    try {
        Start(program, binfmtFolder);
    } catch (const std::exception&) {
        // Without a kept process the lookups take as long as they did.
    }
}

void WineKeeper::Start(const std::string& program, const std::string& binfmtFolder) {
    const std::string head = ReadStart(program, 256);
    if (!head.starts_with("MZ")) return;
    const std::string interpreter = BinfmtInterpreter(head, program, BinfmtEntries(binfmtFolder));
    if (interpreter.empty()) return;

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    UniqueFd reading(ends[0]);
    UniqueFd writing(ends[1]);
    // Reads the pipe as its standard input, writes nowhere, holds no folder
    // of the lookup's open, and starts with every signal's default.
    SpawnFileActions actions;
    actions.Dup2(reading.get(), STDIN_FILENO);
    actions.Open(STDOUT_FILENO, "/dev/null", O_WRONLY);
    actions.Dup2(STDOUT_FILENO, STDERR_FILENO);
    actions.CloseFrom(STDERR_FILENO + 1);
    actions.ChangeFolder("/");
    SpawnAttributes attributes;
    attributes.DefaultSignals();
    std::string argv0 = interpreter;
    std::string command = "cmd";
    char* argv[] = {argv0.data(), command.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, interpreter.c_str(), actions.get(), attributes.get(), argv, environ) != 0) return;
    pipe_ = std::move(writing);
    pid_ = pid;
}

}  // namespace keil
