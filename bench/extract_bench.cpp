// The extraction scans only the tail of a response: the same screen tail
// behind responses of 4 KiB, 1 MiB and 64 MiB should take the same time.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "run/extract.h"

namespace {

std::vector<std::uint8_t> Response(std::size_t size) {
    std::string tail;
    for (int i = 1; i <= 12; ++i) {
        tail += i == 3 ? "Firma   Muster GmbH" : "Zeile " + std::to_string(i);
        tail += "\r\n";
    }
    const std::string filler = std::string(78, 'x') + "\r\n";
    std::vector<std::uint8_t> response;
    response.reserve(size);
    while (response.size() + filler.size() + tail.size() <= size) {
        response.insert(response.end(), filler.begin(), filler.end());
    }
    response.insert(response.end(), tail.begin(), tail.end());
    return response;
}

void BM_ExtractResultBlock(benchmark::State& state) {
    const auto response = Response(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(keil::ExtractResultBlock(response));
    }
}

}  // namespace

BENCHMARK(BM_ExtractResultBlock)->Arg(4 << 10)->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK_MAIN();
