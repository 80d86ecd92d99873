// Stands in for Wine as the interpreter that the kernel hands Windows
// programs to: reports how it was started to the file that
// KEIL_STAND_IN_REPORT names (its arguments, how many descriptors it holds,
// what its standard input is), then reads its standard input to the end and
// exits.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string report;
    for (int i = 0; i < argc; ++i) report += std::string(argv[i]) + "|";
    // The listing holds a descriptor of its own while it runs.
    const auto held = std::distance(fs::directory_iterator("/proc/self/fd"), {}) - 1;
    report += "\nfds=" + std::to_string(held) + "\nstdin=" + fs::read_symlink("/proc/self/fd/0").string() + "\n";
    if (const char* path = std::getenv("KEIL_STAND_IN_REPORT")) std::ofstream(path) << report;
    while (std::getchar() != EOF) {
    }
    return 0;
}
