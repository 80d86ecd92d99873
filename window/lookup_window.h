#pragma once

// What both windows do around a lookup, free of any toolkit: the running
// guard and the Click handlers, the run with the window held, what ends
// it and what comes of it (the result box emptied beside an error, the
// error's message box, the focus moved for a screen reader, the end of the
// program), and the question that a request to close asks meanwhile.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "error.h"
#include "lookup_run.h"

namespace keil {

// An error that ended a lookup: its number and its text (UTF-8).
struct Failure {
    std::int32_t number;
    std::string text;
};

// What a lookup came to.
struct LookupOutcome {
    std::optional<Failure> failure;
    // Whether the lookup set the result box's text.
    bool shownBlock = false;

    // Whether the focus moves to the result box now: after a lookup that
    // showed its block without an error, when a screen reader runs, so that
    // it reads the block out without the clerk moving there first.
    bool MovesFocusToResult(bool screenReaderRunning) const {
        return !failure && shownBlock && screenReaderRunning;
    }

    // Whether the clerk broke the lookup off to end the program: it ends
    // then without an error box.
    bool BrokenOffByClerk() const { return failure && failure->number == kErrBrokenOffByClerk; }
};

// The question that a request to close the window asks while a lookup
// runs, and the access keys of its buttons; "Nein" is the default.
inline constexpr const char* kBreakOffQuestion =
    "Die Suche läuft noch. Wollen Sie sie abbrechen und den Keilbrecher beenden?";
inline constexpr const char* kYes = "&Ja";
inline constexpr const char* kNo = "&Nein";

// Runs the Click handler `handler` on `window` and catches the error that
// ends it. A lookup that fails before it showed its own block empties the
// result box, so that no earlier record stays on screen beside the error;
// one that fails after (its exchange file was replaced) keeps its block.
LookupOutcome RunCatching(WindowOperations& window, void (*handler)(WindowOperations&));

// The program's exit status after an error's message box; a lookup that
// the clerk broke off ends it as closing the window does.
inline constexpr int kExitAfterError = 1;
inline constexpr int kExitClosed = 0;

// The text of the error's message box: the number and the text, then, below
// them, that the program ends.
std::string ErrorBoxText(const Failure& failure);

// A window that lookups run on: what both windows share. Each window
// provides what its toolkit does.
class LookupWindow : public WindowOperations {
public:
    // The Click handlers of the two record buttons: a lookup of record 1 or
    // 2. A click that still reaches the window while a lookup runs does
    // nothing.
    void cmdRecord1_Click();
    void cmdRecord2_Click();

    bool ClerkBreaksOff() override { return breakOff_; }

    // A request to close the window while a lookup runs: asks whether to
    // break it off and end the program ("Nein" the default), once at a
    // time. The lookup waits meanwhile.
    void AskToBreakOff();
    // The session ends, or the window system destroyed the window: a
    // running lookup is broken off; the program ends.
    void MustEnd();

    // What the toolkit holds for the length of a lookup (the busy pointer,
    // input dropped, the focus kept) until it goes.
    struct Hold {
        virtual ~Hold() = default;
    };

protected:
    bool LookupRunning() const { return running_; }

    virtual std::unique_ptr<Hold> HoldForLookup() = 0;
    // Asks the question of AskToBreakOff; true for "Ja".
    virtual bool AskWhetherToBreakOff() = 0;
    // Shows the error's message box (ErrorBoxText) and ends the program
    // with kExitAfterError.
    virtual void ShowErrorAndEnd(const Failure& failure) = 0;
    // Ends the program with `status`, without a box.
    virtual void End(int status) = 0;
    // Whether a screen reader runs now (see ScreenReaderRunning), and
    // moving the focus to the result box, after a lookup that showed its
    // block while one runs.
    virtual bool ScreenReaderRuns() = 0;
    virtual void MoveFocusToResult() = 0;
    // Tidies up what the toolkit kept during the lookup, once it has ended.
    virtual void AfterLookup() {}

private:
    void RunHeld(void (*handler)(WindowOperations&));
    bool running_ = false;
    bool breakOff_ = false;
    bool asking_ = false;
};

}  // namespace keil
