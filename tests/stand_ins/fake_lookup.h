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

// Starts a child process that appends "child" to `runs` after `ms`
// milliseconds, where the platform lets a program fork (POSIX).
void LeaveChild(long long ms, const std::string& runs);

// What a colleague's program may try on an exchange file by its name:
// write `bytes` over its start, or rename the file `from` over it. Each
// returns 0 or the system's error number.
int OverwriteByName(const std::string& path, const std::string& bytes);
int RenameOverByName(const std::string& from, const std::string& path);

}  // namespace fake
