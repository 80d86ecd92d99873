#include "error.h"
#include "process_wait.h"
#include "responsive_wait.h"
#include "windows_support.windows.h"

namespace keil {

ProcessEnd WaitForProcessEnd(std::int32_t processId) {
    constexpr DWORD kAllAccess = 0x1F0FFF;

    UniqueHandle process(::OpenProcess(kAllAccess, FALSE, static_cast<DWORD>(processId)));
    if (process.get() == nullptr) return {-1, 0};

    if (WaitUntilReady(process.get(), kNoLimit) != Waited::kReady) {
        ThrowSystemError(LastError(), "Das Warten auf das Suchprogramm ist fehlgeschlagen");
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.get(), &exitCode);
    process.reset();
    return {static_cast<std::int32_t>(exitCode), 0};
}

// Windows ends processes by exceptions, whose codes BreakOffCause names.
std::string SignalName(std::int32_t) { return ""; }

}  // namespace keil
