// The clock of a run's wait for the lock: when a helper that does not
// answer while nobody holds the lock has had its grace.

#include <gtest/gtest.h>

#include "shared_folder/folder_lock.h"

namespace keil::test {
namespace {

using std::chrono::milliseconds;
using Verdict = HolderWatch::Verdict;
constexpr int kGrace = static_cast<int>(milliseconds(HolderWatch::kNobodyGrace).count());

// Holders seen one after the other, each at a time since the wait began,
// with the verdict of the last. A holder holds as long as it holds.
struct HolderCase {
    const char* name;
    std::vector<std::pair<int, const char*>> seen;  // milliseconds, holder
    Verdict verdict;
};

const HolderCase kHolderCases[] = {
    {"OneHolderForAnHour", {{0, "A"}, {3'600'000, "A"}}, Verdict::kWait},
    {"HoldersComeAndGo", {{0, "A"}, {900, "B"}, {600'000, "C"}}, Verdict::kWait},
    {"NobodyFromTheStartWithinTheGrace", {{kGrace - 1, ""}}, Verdict::kWait},
    {"NobodyFromTheStartForTheGrace", {{kGrace, ""}}, Verdict::kNobodyHolds},
    {"NobodyBetweenTwoHolders", {{0, "A"}, {500, ""}, {kGrace + 499, ""}, {kGrace + 500, "B"}}, Verdict::kWait},
    {"NobodyAfterAHolderForTheGrace", {{0, "A"}, {500, ""}, {kGrace + 500, ""}}, Verdict::kNobodyHolds},
};

class Holders : public testing::TestWithParam<HolderCase> {};

TEST_P(Holders, Verdict) {
    const auto start = HolderWatch::Clock::now();
    HolderWatch watch(start);
    Verdict verdict = Verdict::kWait;
    for (const auto& [at, holder] : GetParam().seen) verdict = watch.Saw(holder, start + milliseconds(at));
    EXPECT_EQ(verdict, GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(Lock, Holders, testing::ValuesIn(kHolderCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
