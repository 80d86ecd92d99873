#pragma once

#include <string>

namespace keil {

// The folder of the lookup program and its exchange files, fixed at build
// time: "c:\fibu\" on Windows; on Linux drive c: is placed at the folder /c,
// so "/c/fibu/", unless the build chose a folder of its own.
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

}  // namespace keil
