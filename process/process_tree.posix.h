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

// What a lookup program started, as the wait follows it: the program's
// process group, the children of this process before it started (sorted),
// and each process found below it so far.
struct Lineage {
    pid_t group = 0;
    std::vector<pid_t> earlier;
    std::vector<pid_t> known;
};

// The lookup program of `lineage` and what it started that is still there,
// ended ones that wait to be reaped included: each child of this process's
// that was not among the earlier ones and is the program's (in its group,
// out of this process's session, or found below it before), and every
// process below it. That is the lookup program while it is there, and
// what it started, which is below it or, once a parent of it has ended,
// this process's child as its subreaper. Wine's own programs and what they
// start are left out. What it finds is added to `lineage.known`.
std::vector<StartedProcess> StartedBy(Lineage& lineage);

// Whether the process of the command name `name` and the command line
// `commandLine` (its arguments, each ended by a NUL) is Wine's own: its
// server, or a program of Wine's own that it runs for its prefix.
bool IsWinesOwn(const std::string& name, const std::string& commandLine);

// Whether a process of the command name `name` may be Wine's own: its
// server or the name of one of its programs. Makes no call but strcmp, for
// a signal handler.
bool IsWinesOwnName(const char* name);

}  // namespace keil
