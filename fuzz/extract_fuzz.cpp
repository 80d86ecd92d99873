// Differential fuzz target: the extraction and the model of the block rule
// must agree on every input, in the block or in the error.

#include <cstdio>
#include <cstdlib>

#include "block_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // the run never extracts from an empty response
    const std::span<const std::uint8_t> bytes(data, size);
    const keil::fuzz::Outcome expected = keil::fuzz::ModelResultBlock(bytes);
    const keil::fuzz::Outcome actual = keil::fuzz::ExtractionOutcome(bytes);
    if (!(actual == expected)) {
        std::fprintf(stderr, "extraction and model differ: error %d/%d, block %zu/%zu characters\n",
                     actual.error, expected.error, actual.block.size(), expected.block.size());
        std::abort();
    }
    return 0;
}
