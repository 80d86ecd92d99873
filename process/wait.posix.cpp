#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "process/wait.h"

namespace keil {

Waited WaitUntilReady(NativeHandle handle, std::chrono::milliseconds limit, WaitHooks* hooks) {
    using Clock = std::chrono::steady_clock;
    const bool limited = limit >= std::chrono::milliseconds::zero();
    const Clock::time_point deadline = Clock::now() + (limited ? limit : std::chrono::milliseconds::zero());
    pollfd entry{handle, POLLIN, 0};
    for (;;) {
        std::chrono::milliseconds slice = kNoLimit;
        if (limited) {
            slice = std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()),
                             std::chrono::milliseconds::zero());
        }
        const bool sliced = hooks != nullptr && (!limited || slice > kRespondEvery);
        if (sliced) slice = kRespondEvery;
        if (const std::optional<Waited> waited = hooks != nullptr ? hooks->WaitWith(handle, slice) : std::nullopt) {
            if (*waited != Waited::kTimedOut || !sliced) return *waited;
            TakeTurn(hooks);
            continue;
        }
        const int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
        if (ready > 0) return Waited::kReady;
        if (ready < 0 && errno != EINTR) return Waited::kFailed;
        if (ready == 0 && !sliced) return Waited::kTimedOut;
        TakeTurn(hooks);
    }
}

}  // namespace keil
