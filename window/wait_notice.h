#pragma once

// What the window says while a lookup waits, and when a screen reader
// speaks it: the words of the waits that the run reports (see WaitHooks).

#include <chrono>
#include <optional>
#include <string>

#include "process/wait.h"

namespace keil {

// How long a lookup waits before its words replace the record of the
// lookup before, which a clerk could take for this lookup's (a lookup
// takes a few milliseconds, through Wine under a hundred: its words never
// show; a clerk notices a pause of a quarter of a second); how long before
// the words count the seconds, a screen reader speaks them and they say
// what it waits for; how often a screen reader speaks them again; and how
// long one other run may hold the folder before they say what the clerk
// can do.
inline constexpr std::chrono::milliseconds kMarkAfter{250};
inline constexpr std::chrono::seconds kSayAfter{2};
inline constexpr std::chrono::seconds kSpeakEvery{15};
inline constexpr std::chrono::seconds kAdviseAfter{60};

// The words of a wait of `seconds` for `what` (-1: before its seconds
// count); `user` names the user whose run holds the folder, where the
// system tells ("" where it does not), or the program that the lookup
// program started and that still runs; `advise` adds what the clerk can do
// about a holder that takes long.
std::string WaitNoticeText(WaitingFor what, const std::string& user, long long seconds, bool advise = false);

// The notice of one lookup, from its start: once it has waited kMarkAfter,
// the words of WaitNoticeText, from kSayAfter on with their seconds
// counting; once one other run has held the folder for kAdviseAfter, they
// say what the clerk can do. A screen reader speaks them from kSayAfter
// on: when they first count, when what the lookup waits for changes, when
// the advice comes, and every kSpeakEvery.
class WaitNotice {
public:
    using Clock = std::chrono::steady_clock;
    explicit WaitNotice(Clock::time_point start = Clock::now());

    // What the lookup waits for at `now`, and whose run holds the folder
    // while that is another run ("" where the system does not tell).
    void Now(WaitingFor what, const std::string& user, Clock::time_point now = Clock::now());

    // The words due at `now`, when they changed, and whether they are to be
    // spoken; nothing when nothing changed.
    struct Words {
        std::string text;
        bool speak;
    };
    std::optional<Words> Due(Clock::time_point now);

private:
    Clock::time_point start_;
    WaitingFor what_ = WaitingFor::kOwnLookup;
    std::string user_;
    Clock::time_point turnSince_;
    bool turnChanged_ = false;
    bool advised_ = false;
    long long shownSeconds_ = -2;  // none shown yet
    std::optional<Clock::time_point> spokenAt_;
};

}  // namespace keil
