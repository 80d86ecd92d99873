#include "lookup_window.h"

#include <new>

#include "error.h"

namespace keil {
namespace {

// Passes the operations on to the window and notes whether the text was set.
class NotingWindow : public WindowOperations {
public:
    explicit NotingWindow(WindowOperations& window) : window_(window) {}
    void SetRecord1Enabled(bool enabled) override { window_.SetRecord1Enabled(enabled); }
    void SetRecord2Enabled(bool enabled) override { window_.SetRecord2Enabled(enabled); }
    void SetResultText(const std::u16string& text) override {
        window_.SetResultText(text);
        shownBlock = true;
    }
    void WhileWaiting() override { window_.WhileWaiting(); }
    void ShowWaitNotice(const std::string& text, bool speak) override { window_.ShowWaitNotice(text, speak); }
    bool ClerkBreaksOff() override { return window_.ClerkBreaksOff(); }
    bool shownBlock = false;

private:
    WindowOperations& window_;
};

}  // namespace

LookupOutcome RunCatching(WindowOperations& window, void (*handler)(WindowOperations&)) {
    NotingWindow noting(window);
    LookupOutcome outcome;
    try {
        handler(noting);
    } catch (const Error& e) {
        outcome.failure = Failure{e.number(), e.text()};
    } catch (const std::bad_alloc&) {
        outcome.failure = Failure{kErrAllocation, kOutOfMemoryText};
    }
    outcome.shownBlock = noting.shownBlock;
    if (outcome.failure && !outcome.shownBlock) {
        try {
            window.SetResultText(u"");
        } catch (const Error&) {
            // The error that ended the lookup is the one to show; the
            // program ends after it either way.
        } catch (const std::bad_alloc&) {
        }
    }
    return outcome;
}

std::string ErrorBoxText(const Failure& failure) {
    return "Fehler " + std::to_string(failure.number) + ": " + failure.text +
           "\n\nDas Programm wird beendet, sobald Sie „OK“ wählen.";
}

void LookupWindow::cmdRecord1_Click() { RunHeld(&keil::cmdRecord1_Click); }

void LookupWindow::cmdRecord2_Click() { RunHeld(&keil::cmdRecord2_Click); }

void LookupWindow::AskToBreakOff() {
    if (!running_ || asking_ || breakOff_) return;
    asking_ = true;
    breakOff_ = AskWhetherToBreakOff();
    asking_ = false;
}

void LookupWindow::MustEnd() {
    if (running_) {
        breakOff_ = true;
    } else {
        End(kExitClosed);
    }
}

void LookupWindow::RunHeld(void (*handler)(WindowOperations&)) {
    if (running_) return;
    LookupOutcome outcome;
    {
        running_ = true;
        const std::unique_ptr<Hold> held = HoldForLookup();
        outcome = RunCatching(*this, handler);
        running_ = false;
    }
    AfterLookup();
    if (outcome.BrokenOffByClerk()) {
        End(kExitClosed);
    } else if (outcome.failure) {
        ShowErrorAndEnd(*outcome.failure);
    } else if (outcome.MovesFocusToResult(ScreenReaderRuns())) {
        MoveFocusToResult();
    }
}

}  // namespace keil
