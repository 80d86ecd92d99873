#include "window/wait_notice.h"

#include "system/error.h"

namespace keil {

std::string WaitNoticeText(WaitingFor what, const std::string& user, long long seconds, bool advise) {
    const std::string since = seconds < 0 ? "." : " seit " + std::to_string(seconds) + "\u00A0Sekunden.";
    if (what == WaitingFor::kOwnLookup) return "Die Suche läuft" + since;
    if (what == WaitingFor::kStartedByLookup) {
        return "Das Suchprogramm ist fertig, ein Programm, das es gestartet hat" +
               (user.empty() ? "" : " (" + Quoted(user) + ")") + ", läuft aber noch; die Suche läuft" + since;
    }
    const std::string words = "Eine andere Suche" + (user.empty() ? "" : " (Benutzer " + Quoted(user) + ")") +
                              " ist gerade an der Reihe; der Keilbrecher wartet" + since;
    if (!advise) return words;
    return words + " Schließen Sie das Fenster, um die Suche abzubrechen; dauert es noch länger, melden Sie " +
           (user.empty() ? "es Ihrer IT-Betreuung." : "Ihrer IT-Betreuung, dass die Suche des Benutzers " +
                                                         Quoted(user) + " den Ordner belegt.");
}

WaitNotice::WaitNotice(Clock::time_point start) : start_(start), turnSince_(start) {}

void WaitNotice::Now(WaitingFor what, const std::string& user, Clock::time_point now) {
    if (what == what_ && user == user_) return;
    what_ = what;
    user_ = user;
    turnSince_ = now;
    turnChanged_ = true;
    advised_ = false;
}

std::optional<WaitNotice::Words> WaitNotice::Due(Clock::time_point now) {
    const auto waited = now - start_;
    const bool counting = waited >= kSayAfter;
    const long long seconds = counting ? std::chrono::duration_cast<std::chrono::seconds>(waited).count() : -1;
    const bool advise = what_ == WaitingFor::kOtherRun && now - turnSince_ >= kAdviseAfter;
    const bool newAdvice = advise && !advised_;
    if (waited < kMarkAfter || (seconds == shownSeconds_ && !turnChanged_ && !newAdvice)) return std::nullopt;
    const bool speak = counting && (!spokenAt_ || turnChanged_ || newAdvice || now - *spokenAt_ >= kSpeakEvery);
    shownSeconds_ = seconds;
    turnChanged_ = false;
    advised_ = advise;
    if (speak) spokenAt_ = now;
    return Words{WaitNoticeText(what_, user_, seconds, advise), speak};
}

}  // namespace keil
