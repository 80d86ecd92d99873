#include "folder_lock.h"

#include <algorithm>

namespace keil {

TurnWait::TurnWait(std::chrono::milliseconds patience, Clock::time_point start)
    : patience_(patience), start_(start), since_(start) {}

TurnWait::Verdict TurnWait::Saw(const std::string& holder, Clock::time_point now) {
    if (holder != holder_) {
        holder_ = holder;
        since_ = now;
    }
    const auto held = now - since_;
    if (holder_.empty()) {
        return held >= std::min<std::chrono::milliseconds>(patience_, kNobodyGrace) ? Verdict::kNobodyHolds
                                                                                    : Verdict::kWait;
    }
    if (held >= patience_) return Verdict::kHeldTooLong;
    return now - start_ >= kQueueTimesPatience * patience_ ? Verdict::kQueueTooLong : Verdict::kWait;
}

}  // namespace keil
