// Lookups through Wine with the Windows demo program as the lookup program,
// with and without the Wine process that the Linux window keeps: the first
// lookup 2 s after the window would have shown, one after a pause of 10 s,
// and the mean of 20 back to back; then, with the kept process, the memory
// of every Wine process of the prefix while idle. Prints "name,value" lines.
// usage: wine_bench keep|none   (WINEPREFIX: an existing prefix)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

#include "run/lookup_run.h"
#include "shared_folder/fixed_paths.h"
#include "wine_keeper/wine_keeper.h"

namespace {

// A run without a window: its waits take no turns.
class NoWindow : public keil::WaitHooks {
public:
    void Pump() override {}
    bool Cancelled() override { return false; }
    void Waiting(keil::WaitingFor, const std::string&) override {}
};

double LookupsMs(int count) {
    NoWindow window;
    const keil::LookupPlace place = keil::FixedLookupPlace();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) keil::cmdRecord1_Click(place, window, [](std::span<const std::uint8_t>) {});
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count() / count;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Proportional and resident memory of the processes of this Wine prefix.
void PrintWineMemory(const std::string& prefix) {
    long pss = 0, rss = 0, processes = 0;
    const std::string self = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        if (entry.path().filename() == self ||
            ReadAll(entry.path() / "environ").find("WINEPREFIX=" + prefix + '\0') == std::string::npos) {
            continue;
        }
        const std::string rollup = ReadAll(entry.path() / "smaps_rollup");
        for (const auto& [key, sum] : {std::pair{"\nPss:", &pss}, std::pair{"\nRss:", &rss}}) {
            const auto at = rollup.find(key);
            if (at != std::string::npos) *sum += std::strtol(rollup.c_str() + at + std::strlen(key), nullptr, 10);
        }
        ++processes;
    }
    std::printf("wine_processes,%ld\nwine_pss_kib,%ld\nwine_rss_kib,%ld\n", processes, pss, rss);
}

}  // namespace

int main(int argc, char** argv) {
    const bool keep = argc > 1 && std::string(argv[1]) == "keep";
    std::optional<keil::WineKeeper> keeper;
    if (keep) keeper.emplace(keil::ProgramPath());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::printf("first_ms,%.1f\n", LookupsMs(1));
    std::this_thread::sleep_for(std::chrono::seconds(10));
    std::printf("after_pause_ms,%.1f\n", LookupsMs(1));
    std::printf("back_to_back_ms,%.1f\n", LookupsMs(20));
    if (keep) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        PrintWineMemory(std::getenv("WINEPREFIX"));
    }
    return 0;
}
