#pragma once

// What a lookup program started, on Linux: its process group and what
// left the group, which this process inherits as the subreaper of what the
// lookup program leaves behind. Wine's own server and the programs it runs
// for its prefix (services.exe, winedevice.exe and the like), which a
// Windows lookup program may start when none run yet and which outlive it
// by design, are not the lookup program's work.

#include <sys/types.h>

#include <string>
#include <vector>

namespace keil {

// The children of this process, of every thread, running or ended.
std::vector<pid_t> ChildrenOfThisProcess();

// One process of what a lookup program started, as /proc tells it.
struct StartedProcess {
    pid_t pid;
    pid_t group;       // its process group
    bool ended;        // a zombie that its parent has not reaped
    bool ours;         // a child of this process's
    std::string name;  // its command's name, such as "Lief-adr.exe"
};

// The processes started since the children of this process were
// `earlier` (sorted), ended ones that wait to be reaped included: each
// child of this process's that was not among them, and every process below
// it. That is the lookup program started since, while it is there, and
// what it started, which is below it or, once a parent of it has ended,
// this process's child as its subreaper; whatever joined the lookup
// program's group is below it too. Wine's own programs and what they start
// are left out.
std::vector<StartedProcess> StartedSince(const std::vector<pid_t>& earlier);

// Whether the process of the command name `name` and the command line
// `commandLine` (its arguments, each ended by a NUL) is Wine's own: its
// server, or a program of Wine's own that it runs for its prefix.
bool IsWinesOwn(const std::string& name, const std::string& commandLine);

// Whether a process of the command name `name` may be Wine's own: its
// server or the name of one of its programs. Makes no call but strcmp, for
// a signal handler.
bool IsWinesOwnName(const char* name);

}  // namespace keil
