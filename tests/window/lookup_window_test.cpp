// What both windows do around a lookup: the record buttons disabled for its
// length and enabled again after its block, the failure shown in the
// message box, the result box emptied when the failed lookup showed no
// block of its own, the focus moved to the box only after a block was
// shown while a screen reader runs, a break-off that ends the program
// without a box. The message box's text and the toolkits' own parts: the
// window tests.

#include <gtest/gtest.h>

#include <new>

#include "support.h"
#include "system/error.h"
#include "window/lookup_window.h"

namespace keil::test {
namespace {

// A window without a toolkit: records what the lookup does to it.
class FakeWindow : public LookupWindow {
public:
    explicit FakeWindow(bool screenReader) : LookupWindow(FixedLookupPlace(), u"|"), screenReader_(screenReader) {}
    using LookupWindow::RunHeld;
    std::vector<std::string> log;
    std::u16string shown = u"before";
    // Whether the window system ends the window while the question stands,
    // which the clerk then answers "Nein".
    bool endWhileAsked = false;

protected:
    void SetRecord1Enabled(bool enabled) override { log.push_back(enabled ? "1:on" : "1:off"); }
    void SetRecord2Enabled(bool enabled) override { log.push_back(enabled ? "2:on" : "2:off"); }
    void SetResultText(const std::u16string& text) override {
        log.push_back("text");
        shown = text;
    }
    void TakeTurn() override {}
    void ShowWaitNotice(const std::string&, bool) override {}
    std::unique_ptr<Hold> HoldForLookup() override { return std::make_unique<Hold>(); }
    void OpenQuestion() override {
        log.push_back("asked");
        if (endWhileAsked) MustEnd();
    }
    void CloseQuestion() override { log.push_back("question closed"); }
    void ShowErrorAndEnd(const Failure& failure) override { log.push_back("error " + std::to_string(failure.number)); }
    void End(int status) override { log.push_back("end " + std::to_string(status)); }
    bool ScreenReaderRuns() override { return screenReader_; }
    void SpeakRecord(const std::u16string& text) override { spoken = text; }
    void MoveFocusToResult() override { log.push_back("focus"); }

public:
    std::u16string spoken;

private:
    bool screenReader_;
};

const std::uint8_t kBlock[] = {'B', 'l', 'o', 'c', 'k', '\r', '\n'};

struct HeldCase {
    const char* name;
    LookupWindow::Lookup lookup;
    std::vector<std::string> log;  // with a screen reader running
    std::u16string shown;
};

const HeldCase kCases[] = {
    {"BlockShown", [](const LookupPlace&, WaitHooks&, const ShowBlock& show) { show(kBlock); },
     {"1:off", "2:off", "text", "1:on", "2:on", "focus"}, u"Block|"},
    {"FailedBeforeItsBlock", [](const LookupPlace&, WaitHooks&, const ShowBlock&) { ThrowEmptyResponse({0, 0}); },
     {"1:off", "2:off", "text", "error " + std::to_string(kErrRange)}, u""},
    {"FailedAfterItsBlock",
     [](const LookupPlace&, WaitHooks&, const ShowBlock& show) {
         show(kBlock);
         ThrowReplaced(kResponseRole, "out.txt");
     },
     {"1:off", "2:off", "text", "error " + std::to_string(kErrReplaced)}, u"Block|"},
    {"OutOfMemory", [](const LookupPlace&, WaitHooks&, const ShowBlock&) { throw std::bad_alloc(); },
     {"1:off", "2:off", "text", "error " + std::to_string(kErrAllocation)}, u""},
    {"BrokenOffByTheClerk", [](const LookupPlace&, WaitHooks&, const ShowBlock&) { ThrowBrokenOffByClerk(); },
     {"1:off", "2:off", "text", "end 0"}, u""},
};

void PrintTo(const HeldCase& c, std::ostream* out) { *out << c.name; }

class Held : public testing::TestWithParam<HeldCase> {};

TEST_P(Held, Outcome) {
    const HeldCase& c = GetParam();
    FakeWindow window(true);
    window.RunHeld(c.lookup);
    EXPECT_EQ(window.log, c.log);
    EXPECT_EQ(window.shown, c.shown);
    // The screen reader says the whole record once it is shown.
    EXPECT_EQ(window.spoken, c.log.back() == "focus" ? c.shown : u"");
    // Without a screen reader the focus stays.
    FakeWindow without(false);
    without.RunHeld(c.lookup);
    EXPECT_EQ(std::count(without.log.begin(), without.log.end(), "focus"), 0);
}

// The question that a request to close asks does not hold the lookup up,
// and an end that came while it stood (the window system ending the window)
// stands, whatever the answer. (Unanswered, "Nein" and "Ja" through each
// window's own question: the window tests.)
TEST(Question, KeepsAnEndThatCameWhileItStood) {
    FakeWindow window(false);
    window.endWhileAsked = true;
    window.RunHeld([&](const LookupPlace&, WaitHooks& hooks, const ShowBlock& show) {
        window.AskToBreakOff();
        window.AnswerQuestion(false);
        TakeTurn(&hooks);
        show(kBlock);
    });
    EXPECT_EQ(window.log, (std::vector<std::string>{"1:off", "2:off", "asked", "text", "end 0"}));
}

INSTANTIATE_TEST_SUITE_P(Window, Held, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HeldCase>& row) { return row.param.name; });

}  // namespace
}  // namespace keil::test
