#include "process/process_wait.h"

#include <cstdio>

namespace keil {

// The signal's name in parentheses, " (SIGSEGV)", where the platform names
// signals; "" where it does not.
std::string SignalName(std::int32_t signal);

bool BrokeOff(const ProcessEnd& end) {
    // The severity bits 11 and the customer bit 0: an exception that the
    // system raised, not a code that a program made up.
    constexpr std::uint32_t kKind = 0xE0000000;
    constexpr std::uint32_t kSystemError = 0xC0000000;
    const auto code = static_cast<std::uint32_t>(end.exitCode);
    return end.signal != 0 || (code & kKind) == kSystemError;
}

std::string BreakOffCause(const ProcessEnd& end) {
    if (end.signal != 0) return "das Signal " + std::to_string(end.signal) + SignalName(end.signal);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(end.exitCode));
    return std::string("die Ausnahme ") + code;
}

}  // namespace keil
