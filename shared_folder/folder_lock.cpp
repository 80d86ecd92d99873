#include "shared_folder/folder_lock.h"

namespace keil {

HolderWatch::HolderWatch(Clock::time_point start) : since_(start) {}

HolderWatch::Verdict HolderWatch::Saw(const std::string& holder, Clock::time_point now) {
    if (holder != holder_) {
        holder_ = holder;
        since_ = now;
    }
    return holder_.empty() && now - since_ >= kNobodyGrace ? Verdict::kNobodyHolds : Verdict::kWait;
}

}  // namespace keil
