#include <algorithm>

#include "process/wait.h"
#include "system/windows_support.windows.h"

namespace keil {

// With hooks, the wait also ends for any message that arrives for the
// thread (MsgWaitForMultipleObjectsEx), and at least every kRespondEvery;
// it hands the hooks their turn and goes on for what is left of the limit.
// Once that is spent, only the handle is looked at, so that messages
// cannot keep the wait going.
Waited WaitUntilReady(NativeHandle handle, std::chrono::milliseconds limit, WaitHooks* hooks) {
    const bool limited = limit >= std::chrono::milliseconds::zero();
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limited ? limit.count() : 0);
    const auto every = static_cast<DWORD>(kRespondEvery.count());
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = !limited ? INFINITE : now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const bool sliced = hooks != nullptr && left > every;
        const DWORD waited =
            hooks == nullptr || left == 0
                ? ::WaitForSingleObject(handle, left)
                : ::MsgWaitForMultipleObjectsEx(1, &handle, std::min(left, every), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0) return Waited::kReady;
        if (waited == WAIT_TIMEOUT && !sliced) return Waited::kTimedOut;
        if (waited != WAIT_OBJECT_0 + 1 && waited != WAIT_TIMEOUT) return Waited::kFailed;
        TakeTurn(hooks);
    }
}

}  // namespace keil
