#include "responsive_wait.h"
#include "windows_support.windows.h"

namespace keil {

// With a window waiting, the wait also ends for any message that arrives
// for the thread (MsgWaitForMultipleObjectsEx), hands it to the window,
// and goes on for what is left of the limit; once that is spent, only the
// handle is looked at, so that messages cannot keep the wait going.
Waited WaitUntilReady(NativeHandle handle, std::chrono::milliseconds limit) {
    const bool limited = limit >= std::chrono::milliseconds::zero();
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limited ? limit.count() : 0);
    WindowOperations* const window = CurrentWaitingWindow();
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = !limited ? INFINITE : now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD waited = window == nullptr || left == 0
                                 ? ::WaitForSingleObject(handle, left)
                                 : ::MsgWaitForMultipleObjectsEx(1, &handle, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0) return Waited::kReady;
        if (waited == WAIT_TIMEOUT) return Waited::kTimedOut;
        if (waited != WAIT_OBJECT_0 + 1 || window == nullptr) return Waited::kFailed;
        window->WhileWaiting();
    }
}

}  // namespace keil
