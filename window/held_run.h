#pragma once

// What both windows do around a lookup, free of any toolkit: run a Click
// handler and catch what ends it, keep the result box from showing an
// earlier record beside the error of this lookup, word the error's message
// box, and decide whether the focus moves to the result box.

#include <cstdint>
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

}  // namespace keil
