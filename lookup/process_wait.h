#pragma once

#include <cstdint>

namespace keil {

// Waits without a time limit until the process with this ID has ended and
// returns its exit code as a 32-bit signed value (a process ended by a
// signal gives 128 + the signal's number on POSIX). Returns -1 at once when
// the process cannot be opened, for example because the ID names no process.
// A failing wait raises an Error with the system's error number; a failure
// to read the exit code gives 0.
std::int32_t WaitForProcessExit(std::int32_t processId);

}  // namespace keil
