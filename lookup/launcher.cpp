#include "launcher.h"

#include <utility>

#include "error.h"

namespace keil {

LaunchedProcess::LaunchedProcess(LaunchedProcess&& other) noexcept
    : id_(std::exchange(other.id_, 0)), handle_(std::exchange(other.handle_, 0)) {}

CommandParts SplitCommandLine(const std::string& commandLine) {
    const auto input = commandLine.find(" <");
    const auto output = commandLine.rfind(" >");
    if (input == std::string::npos || output == std::string::npos || output < input + 2) {
        throw Error(kErrCommandLine, "The command line \"" + commandLine +
                                         "\" does not have the form PROGRAM <INPUT >OUTPUT.");
    }
    CommandParts parts{commandLine.substr(0, input),
                       commandLine.substr(input + 2, output - input - 2),
                       commandLine.substr(output + 2)};
    if (parts.program.empty() || parts.input.empty() || parts.output.empty()) {
        throw Error(kErrCommandLine, "The command line \"" + commandLine +
                                         "\" lacks the program, its input or its output.");
    }
    return parts;
}

}  // namespace keil
