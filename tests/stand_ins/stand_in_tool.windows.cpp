// Stands in for a Windows administration tool that Wine lacks (takeown,
// fltmc), for the test of the set-up script: appends its arguments to
// "<its name>.log" beside it, and fails when a file "fail-<its name>" or
// "fail-<the last argument's file name>" stands there.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    // Its own file, wherever the search path found it.
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const fs::path self = module;
    const fs::path folder = self.parent_path();
    const std::string name = self.stem().string();
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) arguments += ' ';
        arguments += argv[i];
    }
    std::ofstream(folder / (name + ".log"), std::ios::app) << arguments << "\n";
    const std::string last = argc > 1 ? fs::path(argv[argc - 1]).filename().string() : "";
    const bool fails = fs::exists(folder / ("fail-" + name)) || (!last.empty() && fs::exists(folder / ("fail-" + last)));
    return fails ? 1 : 0;
}
