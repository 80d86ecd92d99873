// The clocks of a run's waits: when a helper that does not answer while
// nobody holds the lock has had its grace, and the words the window shows,
// and when a screen reader speaks them.

#include <gtest/gtest.h>

#include "folder_lock.h"
#include "responsive_wait.h"

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

// A new turn is spoken at once, and the words again fifteen seconds after
// they were last spoken; after a minute of one holder they say what the
// clerk can do, spoken at once. (When they first show and what they say
// then: the window and lock tests.)
TEST(WaitNotice, SpeaksAtANewTurnEveryFifteenSecondsAndWithItsAdvice) {
    const auto start = WaitNotice::Clock::now();
    WaitNotice notice(WaitingFor::kOwnLookup, start);
    const auto at = [&](int ms) { return notice.Due(start + milliseconds(ms)); };
    ASSERT_TRUE(at(2000));
    const auto unspoken = at(3000);
    notice.Now(WaitingFor::kOtherRun, "mueller", start + milliseconds(3050));
    // The last two 14.9 and 15.9 seconds after the turn was spoken.
    const auto turn = at(3100), shortlyBefore = at(18000), fifteenAfter = at(19000);
    ASSERT_TRUE(unspoken && turn && shortlyBefore && fifteenAfter);
    EXPECT_FALSE(unspoken->speak || shortlyBefore->speak);
    EXPECT_TRUE(turn->speak && fifteenAfter->speak);
    // The holder's minute: 63.05 seconds into the wait, and not before.
    const auto beforeAdvice = at(63049), advice = at(63050), after = at(64000);
    ASSERT_TRUE(beforeAdvice && advice && after);
    EXPECT_EQ(beforeAdvice->text.find("Schließen Sie"), std::string::npos) << beforeAdvice->text;
    EXPECT_EQ(advice->text, "Eine andere Suche (Benutzer „mueller“) ist gerade an der Reihe; der Keilbrecher wartet "
                            "seit 63\u00A0Sekunden. Schließen Sie das Fenster, um die Suche abzubrechen; dauert es "
                            "noch länger, melden Sie Ihrer IT-Betreuung, dass die Suche des Benutzers „mueller“ den "
                            "Ordner belegt.");
    EXPECT_TRUE(advice->speak);
    EXPECT_FALSE(after->speak);
    EXPECT_EQ(WaitNoticeText(WaitingFor::kOtherRun, "", 70, true),
              "Eine andere Suche ist gerade an der Reihe; der Keilbrecher wartet seit 70\u00A0Sekunden. Schließen Sie "
              "das Fenster, um die Suche abzubrechen; dauert es noch länger, melden Sie es Ihrer IT-Betreuung.");
}

}  // namespace
}  // namespace keil::test
