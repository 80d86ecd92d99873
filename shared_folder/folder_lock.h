#pragma once

#include <chrono>
#include <string>


namespace keil {

// How long a run waits for the lock while one and the same other run holds
// it. Another clerk's lookup program that hangs, or a program that takes
// the lock to stop the others, keeps nobody waiting longer. Runs that come
// and go keep a run waiting for its turn, at most ten times as long in all.
// (KEIL_LOCK_PATIENCE_MS: a test build's shorter patience.)
#ifndef KEIL_LOCK_PATIENCE_MS
#define KEIL_LOCK_PATIENCE_MS 60000
#endif
inline constexpr std::chrono::milliseconds kLockPatience{KEIL_LOCK_PATIENCE_MS};
inline constexpr int kQueueTimesPatience = 10;
// How often a waiting run looks who holds the lock.
inline constexpr std::chrono::milliseconds kLookForHolderEvery{250};

// A run's patience with the holders of the lock that it waits for, told
// each holder as it sees them: an identity that changes from one holder to
// the next, "" when no other run holds it.
class TurnWait {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict {
        kWait,
        kHeldTooLong,   // one other run has held it for `patience`
        kQueueTooLong,  // other runs held it, one after the other, for ten times that
        kNobodyHolds,   // no other run held it for a while, and still no turn
    };
    TurnWait(std::chrono::milliseconds patience, Clock::time_point start);
    Verdict Saw(const std::string& holder, Clock::time_point now);

    // How long no other run may seem to hold the lock before kNobodyHolds:
    // long enough for the lock to pass from one holder to the next.
    static constexpr std::chrono::seconds kNobodyGrace{5};

private:
    std::chrono::milliseconds patience_;
    Clock::time_point start_;
    std::string holder_;
    Clock::time_point since_;
};

}  // namespace keil
