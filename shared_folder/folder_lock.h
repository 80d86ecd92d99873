#pragma once

#include <chrono>
#include <string>

namespace keil {

// A run waits for the lock as long as other runs hold it: lookups have no
// time limit, the window says whose turn it is and can always be closed,
// and the queue goes on by itself once the holder lets go.
// How often a waiting run looks who holds the lock.
inline constexpr std::chrono::milliseconds kLookForHolderEvery{250};

// Watches a wait for the lock, told each holder as it is seen: an identity
// that changes from one holder to the next, "" when no other run holds it.
// A run's own helper that has not answered while no other run held the
// lock for kNobodyGrace is stopped or hangs.
class HolderWatch {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict {
        kWait,
        kNobodyHolds,  // no other run held it for kNobodyGrace, and still no turn
    };
    explicit HolderWatch(Clock::time_point start);
    Verdict Saw(const std::string& holder, Clock::time_point now);

    // How long no other run may seem to hold the lock before kNobodyHolds:
    // long enough for the lock to pass from one holder to the next.
    static constexpr std::chrono::seconds kNobodyGrace{5};

private:
    std::string holder_;
    Clock::time_point since_;
};

}  // namespace keil
