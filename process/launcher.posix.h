#pragma once

#include <sys/types.h>

#include <string>

#include "process/launcher.h"

namespace keil {

// StartProgram, for the window whose process is `parent`: the program
// starts only while `parent` is its parent when it is set up, and ends at
// once, without running, when that window has ended before (StartProgram
// gives this process).
LaunchedProcess StartProgramWatching(const std::string& program, NativeHandle input, NativeHandle output,
                                     pid_t parent, NativeHandle folder = kNoHandle);

}  // namespace keil
