#include "process/process_wait.h"

#include <cstdio>

namespace keil {

// The signal's name in parentheses, " (SIGSEGV)", where the platform names
// signals; "" where it does not.
std::string SignalName(std::int32_t signal);

bool BrokeOff(const ProcessEnd& end) {
    constexpr std::uint32_t kFirstException = 0xC0000000;
    constexpr std::uint32_t kExitMinusOne = 0xFFFFFFFF;
    const auto code = static_cast<std::uint32_t>(end.exitCode);
    return end.signal != 0 || (code >= kFirstException && code != kExitMinusOne);
}

std::string BreakOffCause(const ProcessEnd& end) {
    if (end.signal != 0) return "das Signal " + std::to_string(end.signal) + SignalName(end.signal);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(end.exitCode));
    return std::string("die Ausnahme ") + code;
}

}  // namespace keil
