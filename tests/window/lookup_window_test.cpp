// What both windows do around a lookup: the failure caught for the message
// box, the result box emptied when the failed lookup showed no block of
// its own, and the focus moved to the box only after a block was shown.
// The message box's text: the window tests.

#include <gtest/gtest.h>

#include <new>

#include "error.h"
#include "lookup_window.h"
#include "support.h"

namespace keil::test {
namespace {

struct HeldCase {
    const char* name;
    void (*handler)(WindowOperations&);
    std::int32_t error;  // the failure's number, or 0
    std::u16string shown;
    bool focusToResult;  // with a screen reader
};

const HeldCase kCases[] = {
    {"BlockShown", [](WindowOperations& w) { w.SetResultText(u"Block"); }, 0, u"Block", true},
    {"FailedBeforeItsBlock", [](WindowOperations&) { ThrowEmptyResponse(0); }, kErrRange, u"", false},
    {"FailedAfterItsBlock",
     [](WindowOperations& w) {
         w.SetResultText(u"Block");
         ThrowReplaced(kResponseRole, "out.txt");
     },
     kErrReplaced, u"Block", false},
    {"OutOfMemory", [](WindowOperations&) { throw std::bad_alloc(); }, kErrAllocation, u"", false},
};

void PrintTo(const HeldCase& c, std::ostream* out) { *out << c.name; }

class Held : public testing::TestWithParam<HeldCase> {};

TEST_P(Held, Outcome) {
    const HeldCase& c = GetParam();
    RecordingWindow window;
    const LookupOutcome outcome = RunCatching(window, c.handler);
    EXPECT_EQ(outcome.failure ? outcome.failure->number : 0, c.error);
    EXPECT_EQ(window.shown, c.shown);
    EXPECT_EQ(outcome.MovesFocusToResult(true), c.focusToResult);
    EXPECT_FALSE(outcome.MovesFocusToResult(false));
}

INSTANTIATE_TEST_SUITE_P(Window, Held, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HeldCase>& row) { return row.param.name; });

}  // namespace
}  // namespace keil::test
