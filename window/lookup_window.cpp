#include "window/lookup_window.h"

#include <new>

#include "window/display_text.h"
#include "window/wait_notice.h"

namespace keil {

// The hooks of a lookup's waits on this window: the toolkit's turn, the
// words of the wait, and whether the clerk broke the lookup off.
class LookupWindow::Hooks : public WaitHooks {
public:
    explicit Hooks(LookupWindow& window) : window_(window) {}
    void Pump() override {
        window_.TakeTurn();
        if (const std::optional<WaitNotice::Words> words = notice_.Due(WaitNotice::Clock::now())) {
            window_.ShowWaitNotice(words->text, words->speak);
        }
    }
    bool Cancelled() override { return window_.breakOff_; }
    std::optional<Waited> WaitWith(NativeHandle handle, std::chrono::milliseconds limit) override {
        return window_.WaitInEventLoop(handle, limit);
    }
    void Waiting(WaitingFor what, const std::string& holder) override { notice_.Now(what, holder); }

private:
    LookupWindow& window_;
    WaitNotice notice_;
};

LookupWindow::LookupWindow(LookupPlace place, std::u16string lineBreak)
    : place_(std::move(place)), lineBreak_(std::move(lineBreak)) {}

LookupWindow::~LookupWindow() = default;

std::string ErrorBoxText(const Failure& failure) {
    return "Fehler " + std::to_string(failure.number) + ": " + failure.text +
           "\n\nDas Programm wird beendet, sobald Sie „OK“ wählen.";
}

void LookupWindow::cmdRecord1_Click() { RunHeld(&keil::cmdRecord1_Click); }

void LookupWindow::cmdRecord2_Click() { RunHeld(&keil::cmdRecord2_Click); }

void LookupWindow::ShowResultBlock(std::span<const std::uint8_t> block) {
    shownText_ = DisplayTextFromBlock(block, lineBreak_);
    SetResultText(shownText_);
}

void LookupWindow::AskToBreakOff() {
    if (!running_ || asking_ || breakOff_) return;
    asking_ = true;
    OpenQuestion();
}

void LookupWindow::AnswerQuestion(bool breakOff) {
    if (!asking_) return;
    asking_ = false;
    // An end that came while the question stood (the window destroyed, the
    // session ending) stands, whatever the answer.
    breakOff_ = breakOff_ || breakOff;
}

void LookupWindow::MustEnd() {
    if (running_) {
        breakOff_ = true;
    } else {
        End(kExitClosed);
    }
}

void LookupWindow::RunHeld(const Lookup& lookup) {
    if (running_) return;
    std::optional<Failure> failure;
    bool shownBlock = false;
    {
        running_ = true;
        const std::unique_ptr<Hold> held = HoldForLookup();
        try {
            SetRecord1Enabled(false);
            SetRecord2Enabled(false);
            Hooks hooks(*this);
            lookup(place_, hooks, [&](std::span<const std::uint8_t> block) {
                ShowResultBlock(block);
                shownBlock = true;
            });
            SetRecord1Enabled(true);
            SetRecord2Enabled(true);
        } catch (const Error& e) {
            failure = Failure{e.number(), e.text()};
        } catch (const std::bad_alloc&) {
            failure = Failure{kErrAllocation, kOutOfMemoryText};
        }
        // A lookup that failed before it showed its own block empties the
        // result box, so that no earlier record stays on screen beside the
        // error; one that failed after (its exchange file was replaced)
        // keeps its block.
        if (failure && !shownBlock) {
            try {
                SetResultText(u"");
            } catch (const Error&) {
                // The error that ended the lookup is the one to show; the
                // program ends after it either way.
            } catch (const std::bad_alloc&) {
            }
        }
        // The question of a lookup that ended meanwhile has no more to ask.
        if (asking_) {
            asking_ = false;
            CloseQuestion();
        }
        running_ = false;
    }
    AfterLookup();
    if (failure && failure->number == kErrBrokenOffByClerk) {
        End(kExitClosed);
    } else if (failure) {
        ShowErrorAndEnd(*failure);
    } else if (shownBlock && ScreenReaderRuns()) {
        // The screen reader says the whole record, without the clerk moving
        // there first.
        SpeakRecord(shownText_);
        MoveFocusToResult();
    }
}

}  // namespace keil
