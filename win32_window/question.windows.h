#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <functional>
#include <string>

// The question that a request to close the window asks while a lookup
// runs, as a modeless dialog owned by the window: it does not hold the
// lookup up, which goes on while it stands. Its buttons are "&Ja" and
// "&Nein", the default and the answer of Escape and of closing it. The
// answer goes to `answered`; the dialog is gone by then.
class BreakOffQuestion {
public:
    BreakOffQuestion(HWND owner, std::function<void(bool breakOff)> answered);
    // Takes a question that still stands away unanswered.
    ~BreakOffQuestion();
    BreakOffQuestion(const BreakOffQuestion&) = delete;
    BreakOffQuestion& operator=(const BreakOffQuestion&) = delete;

    // Hands `message` to the dialog when it is the dialog's (its dialog
    // navigation, its keys): true when the dialog took it.
    bool Take(MSG& message);
    // Whether the dialog has or holds the window `window`.
    bool Holds(HWND window) const;

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void Answer(bool breakOff);

    HWND dialog_ = nullptr;
    std::function<void(bool)> answered_;
};
