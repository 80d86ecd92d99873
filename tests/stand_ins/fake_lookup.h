#pragma once

// What the fake lookup program needs of its platform.

#include <string>

namespace fake {

// Standard input and output carry bytes, untranslated.
void UseBinaryStandardStreams();

// What the program inherited beyond its standard input and output, a
// "key=value" line each, where the platform can tell: standard error, other
// descriptors, signal dispositions.
std::string StartReport();

// Makes the file behind standard output `size` bytes long.
void GrowStandardOutput(long long size);

// Ends the program as a fault of its own would: SIGSEGV without a core
// file (POSIX), an access violation that nothing handles (Windows).
[[noreturn]] void Crash();

// Starts a child process of this program, which shares its standard
// output and, after `ms` milliseconds, copies the file `respond` to it
// (none when it is "") and appends "child" to `runs`; with `leave`, it
// leaves this program's process group first (POSIX: setsid; Windows: a
// new process group, without a console).
void LeaveChild(long long ms, const std::string& runs, const std::string& respond, bool leave);

// The child's side of LeaveChild, when this program was started as that
// child with `argv`; false when it was not.
bool RunAsChild(int argc, char** argv);

// What the child does: after `ms` milliseconds, copies `respond` (unless
// "") to the standard output and appends "child" to `runs`.
void DoAsChild(long long ms, const std::string& runs, const std::string& respond);

// Ignores SIGXFSZ, so that a write beyond the file-size limit fails with
// EFBIG instead of ending the program (POSIX).
void IgnoreFileSizeSignal();

// What a colleague's program may try on an exchange file by its name:
// write `bytes` over its start, or rename the file `from` over it. Each
// returns 0 or the system's error number.
int OverwriteByName(const std::string& path, const std::string& bytes);
int RenameOverByName(const std::string& from, const std::string& path);

}  // namespace fake
