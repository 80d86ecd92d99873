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

// The notice says nothing before two seconds, counts the seconds on
// without speaking each, speaks at a new turn and every fifteen seconds.
TEST(WaitNotice, ShowsAfterAMomentAndSpeaksNowAndThen) {
    const auto start = WaitNotice::Clock::now();
    WaitNotice notice(WaitingFor::kOwnLookup, start);
    const auto at = [&](int ms) { return notice.Due(start + milliseconds(ms)); };
    EXPECT_FALSE(at(1999));
    const auto first = at(2000);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "Die Suche läuft seit 2\u00A0Sekunden.");
    EXPECT_TRUE(first->speak);
    EXPECT_FALSE(at(2900));
    const auto next = at(3000);
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->speak);
    notice.Now(WaitingFor::kOtherRun, "mueller");
    const auto turn = at(3100);
    ASSERT_TRUE(turn);
    EXPECT_EQ(turn->text, "Eine andere Suche (Benutzer „mueller“) ist gerade an der Reihe; der Keilbrecher wartet "
                          "seit 3\u00A0Sekunden.");
    EXPECT_TRUE(turn->speak);
    const auto shortlyBefore = at(18000);  // 14.9 seconds after it spoke
    const auto fifteenAfter = at(19000);
    ASSERT_TRUE(shortlyBefore && fifteenAfter);
    EXPECT_FALSE(shortlyBefore->speak);
    EXPECT_TRUE(fifteenAfter->speak);
    EXPECT_EQ(WaitNoticeText(WaitingFor::kOtherRun, "", 5),
              "Eine andere Suche ist gerade an der Reihe; der Keilbrecher wartet seit 5\u00A0Sekunden.");
}

}  // namespace
}  // namespace keil::test
