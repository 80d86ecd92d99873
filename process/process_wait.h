#pragma once

#include <cstdint>
#include <string>

#include "process/wait.h"

namespace keil {

// How a process ended: its exit code as a 32-bit signed value (exit codes
// of 0x80000000 and above come back negative, 0xFFFFFFFF as -1; a process
// ended by a signal gives 128 + the signal's number on POSIX), and on
// POSIX the signal that ended it (0 when it ended by itself). When the
// process could not be opened, -1 and no signal, and nothing is known of
// how it ended.
struct ProcessEnd {
    std::int32_t exitCode = 0;
    std::int32_t signal = 0;
    bool opened = true;
};

// Waits without a time limit until the process with this ID has ended and
// tells how. Returns {-1, 0} at once when the process cannot be opened, for
// example because the ID names no process. A failing wait raises an Error
// with the system's error number; a failure to read the exit code gives 0.
// `hooks`, where there are any, get their turn meanwhile (WaitUntilReady).
ProcessEnd WaitForProcessExit(std::int32_t processId, WaitHooks* hooks);

// Whether a process broke off instead of ending by itself: a signal ended
// it (POSIX), or it ended with a system exception's code (Windows: an
// NTSTATUS of the severity "error" with the customer bit clear,
// 0xC0000000 to 0xDFFFFFFF, such as 0xC0000005 or 0xC0000409). Any exit
// code that a program chose itself, -1 and -2 included, is not a break-off.
bool BrokeOff(const ProcessEnd& end);

// What broke it off, in the words of the program's messages: "das Signal 11
// (SIGSEGV)" or "die Ausnahme 0xC0000005".
std::string BreakOffCause(const ProcessEnd& end);

}  // namespace keil
