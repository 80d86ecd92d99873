#pragma once

// What both windows do around a lookup, free of any toolkit: the running
// guard and the Click handlers, the record buttons disabled for the length
// of a run, the run with the window held and its waits' words shown, what
// ends it and what comes of it (the block shown, the result box emptied
// beside an error, the error's message box, the focus moved for a screen
// reader, the end of the program), and the question that a request to
// close asks meanwhile. Each window provides what its toolkit does.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "run/lookup_run.h"
#include "system/error.h"

namespace keil {

// An error that ended a lookup: its number and its text (UTF-8).
struct Failure {
    std::int32_t number;
    std::string text;
};

// The question that a request to close the window asks while a lookup
// runs, and the access keys of its buttons; "Nein" is the default.
inline constexpr const char* kBreakOffQuestion =
    "Die Suche läuft noch. Wollen Sie sie abbrechen und den Keilbrecher beenden?";
inline constexpr const char* kYes = "&Ja";
inline constexpr const char* kNo = "&Nein";

// The program's exit status after an error's message box; a lookup that
// the clerk broke off ends it as closing the window does.
inline constexpr int kExitAfterError = 1;
inline constexpr int kExitClosed = 0;

// The text of the error's message box: the number and the text, then, below
// them, that the program ends.
std::string ErrorBoxText(const Failure& failure);

class LookupWindow {
public:
    // `place` is where lookups find the lookup folder; `lineBreak` what the
    // toolkit's result box takes for the end of a line.
    LookupWindow(LookupPlace place, std::u16string lineBreak);
    virtual ~LookupWindow();
    LookupWindow(const LookupWindow&) = delete;
    LookupWindow& operator=(const LookupWindow&) = delete;

    // The Click handlers of the two record buttons: a lookup of record 1 or
    // 2. A click that still reaches the window while a lookup runs does
    // nothing.
    void cmdRecord1_Click();
    void cmdRecord2_Click();

    // Shows the result block `block` (its bytes) in the result box, as a
    // text box can show it (DisplayTextFromBlock).
    void ShowResultBlock(std::span<const std::uint8_t> block);

    // A request to close the window while a lookup runs: asks whether to
    // break it off and end the program ("Nein" the default), once at a
    // time. The question does not hold the lookup up: it goes on, and a
    // lookup that ends while the question stands closes it.
    void AskToBreakOff();
    // The clerk's answer to the question: "Ja" breaks the lookup off at
    // its next turn, and the program ends.
    void AnswerQuestion(bool breakOff);
    // The session ends, or the window system destroyed the window: a
    // running lookup is broken off; the program ends.
    void MustEnd();

    // What the toolkit holds for the length of a lookup (the busy pointer,
    // input dropped, the focus kept) until it goes.
    struct Hold {
        virtual ~Hold() = default;
    };

    // A lookup of the run's: RunLookup for one record, with the window's
    // place, hooks and way to show the block.
    using Lookup = std::function<void(const LookupPlace&, WaitHooks&, const ShowBlock&)>;

protected:
    bool LookupRunning() const { return running_; }

    // Runs `lookup` with the window held, as the record buttons' handlers
    // do, and comes to its end: the block shown and the buttons enabled
    // again, or, after an error, the result box emptied when the lookup
    // showed no block of its own and the error's message box; a lookup
    // that the clerk broke off ends the program.
    void RunHeld(const Lookup& lookup);

    // What the toolkit does. The enabled state of each record button and
    // the whole text of the result box (already made for display):
    virtual void SetRecord1Enabled(bool enabled) = 0;
    virtual void SetRecord2Enabled(bool enabled) = 0;
    virtual void SetResultText(const std::u16string& text) = 0;
    // Takes in what the window system has for the window while a lookup
    // waits, such as painting, and drops what the user gives meanwhile.
    virtual void TakeTurn() = 0;
    // Waits at most `limit` for `handle` (kNoHandle: only the time) in the
    // toolkit's event loop, so that what comes for the window meanwhile
    // (a screen reader's questions) is answered at once; nothing where the
    // toolkit does not wait so.
    virtual std::optional<Waited> WaitInEventLoop(NativeHandle /*handle*/, std::chrono::milliseconds /*limit*/) {
        return std::nullopt;
    }
    // Says in words (UTF-8) what the lookup waits for, where the clerk
    // sees it; `speak` asks that a screen reader speak them now.
    virtual void ShowWaitNotice(const std::string& text, bool speak) = 0;
    virtual std::unique_ptr<Hold> HoldForLookup() = 0;
    // Shows the question of AskToBreakOff and returns at once; its answer
    // comes to AnswerQuestion. CloseQuestion takes a question that still
    // stands away unanswered, when its lookup has ended.
    virtual void OpenQuestion() = 0;
    virtual void CloseQuestion() = 0;
    // Shows the error's message box (ErrorBoxText) and ends the program
    // with kExitAfterError.
    virtual void ShowErrorAndEnd(const Failure& failure) = 0;
    // Ends the program with `status`, without a box.
    virtual void End(int status) = 0;
    // Whether a screen reader runs now (see ScreenReaderRunning); and,
    // after a lookup that showed its block while one runs, the whole text
    // of the block spoken once, wherever the focus is, and the focus moved
    // to the result box, where the clerk reads it line by line.
    virtual bool ScreenReaderRuns() = 0;
    virtual void SpeakRecord(const std::u16string& text) = 0;
    virtual void MoveFocusToResult() = 0;
    // Tidies up what the toolkit kept during the lookup, once it has ended.
    virtual void AfterLookup() {}

private:
    class Hooks;

    LookupPlace place_;
    std::u16string lineBreak_;
    std::u16string shownText_;  // what the result box shows of the last block
    bool running_ = false;
    bool breakOff_ = false;
    bool asking_ = false;
};

}  // namespace keil
