// The words that the window shows while a lookup waits, and when a screen
// reader speaks them.

#include <gtest/gtest.h>

#include "window/wait_notice.h"

namespace keil::test {
namespace {

using std::chrono::milliseconds;

// A new turn is spoken at once, and the words again fifteen seconds after
// they were last spoken; after a minute of one holder they say what the
// clerk can do, spoken at once. (When they first show and what they say
// then: the window and lock tests.)
TEST(WaitNotice, SpeaksAtANewTurnEveryFifteenSecondsAndWithItsAdvice) {
    const auto start = WaitNotice::Clock::now();
    WaitNotice notice(start);
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
