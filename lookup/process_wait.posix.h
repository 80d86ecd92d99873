#pragma once

#include <cstdint>

namespace keil {

// The wait where process file descriptors cannot be had: waits for our own
// child with waitpid and reaps it. Returns -1 when the ID is not a child of
// ours, otherwise as WaitForProcessExit.
std::int32_t WaitForChildExit(std::int32_t processId);

}  // namespace keil
