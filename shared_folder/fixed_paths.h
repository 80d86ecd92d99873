#pragma once

// The paths of the lookup folder, fixed when the program is built: the
// small library that each build of a folder has of its own (the real
// folder, the tests' one inside the build tree, the setgid test's stage),
// while every room below the window takes the paths as parameters.

#include <string>

#include "shared_folder/lookup_place.h"

namespace keil {

// The folder of the lookup program and its exchange files: "c:\fibu\" on
// Windows; on Linux drive c: is placed at the folder /c, so "/c/fibu/",
// unless the build chose a folder of its own.
const std::string& FibuDir();

// "in.txt" in that folder: the request for the lookup program.
std::string RequestFilePath();
// "out.txt" in that folder: what the lookup program writes.
std::string ResponseFilePath();
// The lookup program's path.
std::string ProgramPath();
// The lookup program's path, a blank and the input redirection sign.
std::string CommandHead();
// A blank and the output redirection sign.
inline constexpr const char* kOutputRedirection = " >";

// The command line that starts the lookup program with its standard input
// from the request file and its standard output to the response file.
std::string JoinCommandLine();

// Linux: the helper that alone writes the lookup folder, the installed
// one for the real folder, the one built with a folder of its own
// otherwise. "" on Windows.
const std::string& HelperPath();

// The folder, the command line and the helper together, as a run takes
// them.
LookupPlace FixedLookupPlace();

}  // namespace keil
