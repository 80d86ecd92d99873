#pragma once

#include <string>

namespace keil {

// Where a run finds the lookup program and its exchange files: fixed when
// the program is built (fixed_paths.h), handed down to every room that
// works in the folder.
struct LookupPlace {
    std::string folder;       // the lookup folder, with its closing separator
    std::string commandLine;  // "PROGRAM <REQUEST >RESPONSE"
    std::string helper;       // Linux: the helper that alone writes the folder
};

}  // namespace keil
