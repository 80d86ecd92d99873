#include "process/process_wait.h"
#include "system/error.h"
#include "system/windows_support.windows.h"

namespace keil {

ProcessEnd WaitForProcessExit(std::int32_t processId, WaitHooks* hooks) {
    constexpr DWORD kAllAccess = 0x1F0FFF;

    UniqueHandle process(::OpenProcess(kAllAccess, FALSE, static_cast<DWORD>(processId)));
    if (process.get() == nullptr) return {-1, 0, false};

    if (WaitUntilReady(process.get(), kNoLimit, hooks) != Waited::kReady) {
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
