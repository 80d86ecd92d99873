#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "native_handle.h"

namespace keil {

// What a run's waits need of the window that waits on their thread.
class WaitingWindowOperations {
public:
    virtual ~WaitingWindowOperations() = default;
    // Called again and again while the run waits (see WaitingWindow): takes
    // in what the window system has for the window, such as painting, and
    // drops what the user gives meanwhile.
    virtual void WhileWaiting() {}
    // Once a run has waited longer than a moment: says in words (UTF-8)
    // what it waits for, where the clerk sees it; `speak` asks that a
    // screen reader speak them now (see WaitNotice).
    virtual void ShowWaitNotice(const std::string& /*text*/, bool /*speak*/) {}
    // Asked after each WhileWaiting: whether the clerk chose to break the
    // lookup off and end the program. The wait then ends with
    // kErrBrokenOffByClerk.
    virtual bool ClerkBreaksOff() { return false; }
};

// A run waits on the thread of the window that started it: for the lock,
// for the helper, for the lookup program. So that the window goes
// on painting meanwhile, and the system never takes it for hung, a run
// registers its window here, and every wait of the run hands control to the
// window's WhileWaiting whenever the window system has something for it
// (Windows), or at least every kRespondEvery (POSIX).
inline constexpr std::chrono::milliseconds kRespondEvery{10};

// Registers `window` for the calling thread for the lifetime of this object.
class WaitingWindow {
public:
    explicit WaitingWindow(WaitingWindowOperations& window);
    ~WaitingWindow();
    WaitingWindow(const WaitingWindow&) = delete;
    WaitingWindow& operator=(const WaitingWindow&) = delete;

private:
    WaitingWindowOperations* previous_;
};

// The window that waits on this thread, or null.
WaitingWindowOperations* CurrentWaitingWindow();

// What a run waits for: its own lookup program (or its own exchange
// helper), or another run that holds the lookup folder.
enum class WaitingFor { kOwnLookup, kOtherRun };

// How long a run waits before its window says what it waits for, how
// often a screen reader speaks it again, and how long one other run may
// hold the folder before the words say what the clerk can do.
inline constexpr std::chrono::seconds kSayAfter{2};
inline constexpr std::chrono::seconds kSpeakEvery{15};
inline constexpr std::chrono::seconds kAdviseAfter{60};

// The words of a wait of `seconds` for `what`; `user` names the user whose
// run holds the folder, where the system tells ("" where it does not);
// `advise` adds what the clerk can do about a holder that takes long.
std::string WaitNoticeText(WaitingFor what, const std::string& user, long long seconds, bool advise = false);

// Marks, for its lifetime, what the waits of the run on this thread wait
// for. Once the run has waited kSayAfter for it, the waiting window shows
// the words of WaitNoticeText, their seconds counting on; once one other
// run has held the folder for kAdviseAfter, they say what the clerk can
// do. A screen reader speaks them when they first show, when another
// run's turn comes, when the advice comes, and every kSpeakEvery.
class WaitNotice {
public:
    using Clock = std::chrono::steady_clock;
    explicit WaitNotice(WaitingFor what, Clock::time_point start = Clock::now());
    ~WaitNotice();
    WaitNotice(const WaitNotice&) = delete;
    WaitNotice& operator=(const WaitNotice&) = delete;

    // What it waits for at `now`, and whose run holds the folder while
    // that is another run ("" where the system does not tell).
    void Now(WaitingFor what, const std::string& user = "", Clock::time_point now = Clock::now());

    // The words due at `now`, when they changed, and whether they are to be
    // spoken; nothing when nothing changed.
    struct Words {
        std::string text;
        bool speak;
    };
    std::optional<Words> Due(Clock::time_point now);

    // Hands the waiting window the words of this thread's notice that are
    // due now. Every wait of a run calls it whenever it hands control to
    // the window.
    static void TellWindow();

private:
    WaitingFor what_;
    Clock::time_point start_;
    std::string user_;
    Clock::time_point turnSince_;
    bool turnChanged_ = false;
    bool advised_ = false;
    long long shownSeconds_ = -1;
    std::optional<Clock::time_point> spokenAt_;
    WaitNotice* previous_;
};

enum class Waited { kReady, kTimedOut, kFailed };
inline constexpr std::chrono::milliseconds kNoLimit{-1};

// Waits until `handle` is ready (a descriptor readable, a process ended, a
// mutex taken or abandoned), at most `limit` (kNoLimit: without one).
// kFailed leaves the system's error number in errno or GetLastError. A
// signal handled meanwhile does not end the wait. With a waiting window,
// the window gets control at least every kRespondEvery, its wait notice
// is told (WaitNotice::TellWindow), and a clerk who breaks the lookup off
// ends the wait with kErrBrokenOffByClerk.
Waited WaitUntilReady(NativeHandle handle, std::chrono::milliseconds limit);

}  // namespace keil
