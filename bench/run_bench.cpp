// One lookup run with the demo lookup program against a bare posix_spawn
// plus wait of the same program with the same redirections: the run's own
// work (the exchange files, reading, extraction, deleting) should add
// little.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "run/lookup_run.h"
#include "shared_folder/fixed_paths.h"

extern char** environ;

namespace {

// A run without a window: its waits take no turns, and the block is only
// looked at.
class NoWindow : public keil::WaitHooks {
public:
    void Pump() override {}
    bool Cancelled() override { return false; }
    void Waiting(keil::WaitingFor, const std::string&) override {}
};

void PlaceDemo() {
    std::filesystem::create_directories(keil::FibuDir());
    const std::string program = keil::FibuDir() + "Lief-adr.exe";
    std::filesystem::remove(program);
    std::filesystem::copy_file(KEIL_DEMO_LOOKUP, program);
}

void BM_RunLookup(benchmark::State& state) {
    PlaceDemo();
    NoWindow window;
    const keil::LookupPlace place = keil::FixedLookupPlace();
    const keil::ShowBlock show = [](std::span<const std::uint8_t> block) { benchmark::DoNotOptimize(block.data()); };
    for (auto _ : state) keil::cmdRecord1_Click(place, window, show);
}

void BM_BareSpawnAndWait(benchmark::State& state) {
    PlaceDemo();
    const std::string program = keil::FibuDir() + "Lief-adr.exe";
    const std::string request = keil::RequestFilePath();
    const std::string response = keil::ResponseFilePath();
    std::ofstream(request, std::ios::binary) << "adr\r1";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    for (auto _ : state) {
        const int in = ::open(request.c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(response.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, 0);
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) std::abort();
        posix_spawn_file_actions_destroy(&actions);
        ::close(in);
        ::close(out);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    std::filesystem::remove(request);
    std::filesystem::remove(response);
}

}  // namespace

// Many short repetitions of each, interleaved at random (bench.sh asks for
// it), compared by their medians: a machine whose speed drifts over the
// seconds of the run then slows both alike.
BENCHMARK(BM_BareSpawnAndWait)->MinTime(0.25)->Repetitions(12)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(BM_RunLookup)->MinTime(0.25)->Repetitions(12)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK_MAIN();
