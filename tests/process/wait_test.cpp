// The clocks of a run's waits: the patience with the holders of the lock,
// which counts one holder's hold and the whole queue apart, and the words
// the window shows, and when a screen reader speaks them.

#include <gtest/gtest.h>

#include "folder_lock.h"
#include "responsive_wait.h"

namespace keil::test {
namespace {

using std::chrono::milliseconds;
using Verdict = TurnWait::Verdict;

// Holders seen one after the other, each at a time since the wait began,
// with the verdict of the last.
struct TurnCase {
    const char* name;
    std::vector<std::pair<int, const char*>> seen;  // milliseconds, holder
    Verdict verdict;
};

const TurnCase kTurnCases[] = {
    {"OneHolderWithinPatience", {{0, "A"}, {999, "A"}}, Verdict::kWait},
    {"OneHolderForThePatience", {{0, "A"}, {1000, "A"}}, Verdict::kHeldTooLong},
    {"PatienceCountsFromTheHoldersFirstSight", {{0, "A"}, {900, "B"}, {1800, "B"}}, Verdict::kWait},
    {"NextHolderForThePatience", {{0, "A"}, {900, "B"}, {1900, "B"}}, Verdict::kHeldTooLong},
    {"HoldersComeAndGoWithinTheQueue", {{0, "A"}, {900, "B"}, {1800, "C"}, {9999, "D"}}, Verdict::kWait},
    {"HoldersComeAndGoForTenPatiences", {{0, "A"}, {900, "B"}, {9900, "C"}, {10000, "C"}}, Verdict::kQueueTooLong},
    {"NobodyHoldsBriefly", {{0, "A"}, {500, ""}, {999, ""}, {1000, "B"}}, Verdict::kWait},
    {"NobodyHoldsForTheGrace", {{0, "A"}, {500, ""}, {1500, ""}}, Verdict::kNobodyHolds},
    {"NobodyFromTheStart", {{999, ""}}, Verdict::kWait},
};

class Turn : public testing::TestWithParam<TurnCase> {};

TEST_P(Turn, Verdict) {
    const auto start = TurnWait::Clock::now();
    TurnWait wait(milliseconds(1000), start);
    Verdict verdict = Verdict::kWait;
    for (const auto& [at, holder] : GetParam().seen) verdict = wait.Saw(holder, start + milliseconds(at));
    EXPECT_EQ(verdict, GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(Lock, Turn, testing::ValuesIn(kTurnCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A new turn is spoken at once, and the words again fifteen seconds after
// they were last spoken. (When they first show and what they say: the
// window and lock tests.)
TEST(WaitNotice, SpeaksAtANewTurnAndEveryFifteenSeconds) {
    const auto start = WaitNotice::Clock::now();
    WaitNotice notice(WaitingFor::kOwnLookup, start);
    const auto at = [&](int ms) { return notice.Due(start + milliseconds(ms)); };
    ASSERT_TRUE(at(2000));
    const auto unspoken = at(3000);
    notice.Now(WaitingFor::kOtherRun, "mueller");
    // The last two 14.9 and 15.9 seconds after the turn was spoken.
    const auto turn = at(3100), shortlyBefore = at(18000), fifteenAfter = at(19000);
    ASSERT_TRUE(unspoken && turn && shortlyBefore && fifteenAfter);
    EXPECT_FALSE(unspoken->speak || shortlyBefore->speak);
    EXPECT_TRUE(turn->speak && fifteenAfter->speak);
}

}  // namespace
}  // namespace keil::test
