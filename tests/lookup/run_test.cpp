#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "error.h"
#include "fixed_paths.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

bool ExchangeFilesGone() { return !FileExists(RequestFilePath()) && !FileExists(ResponseFilePath()); }

struct ClickCase {
    const char* name;
    void (*click)(WindowOperations&);
    const char* requestBytes;
};

class ClickTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ClickTest, SendsTheRequestAndShowsTheBlock) {
    PrepareResponse(SampleScreen());
    RecordingWindow window;
    GetParam().click(window);

    EXPECT_EQ(ReportValue("request"), GetParam().requestBytes);
    EXPECT_EQ(ReportValue("argv0"), FibuDir() + "Lief-adr.exe");
    EXPECT_EQ(ReportValue("stdin"), FibuDir() + "in.txt");
    EXPECT_EQ(ReportValue("stdout"), FibuDir() + "out.txt");
    EXPECT_EQ(window.log, kCompleteRun);
    EXPECT_EQ(window.shown, Widen(SampleBlock()));
    EXPECT_TRUE(ExchangeFilesGone());
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(Run, ClickTest,
                         ::testing::Values(ClickCase{"Record1", &cmdRecord1_Click, "61 64 72 0d 31 "},
                                           ClickCase{"Record2", &cmdRecord2_Click, "61 64 72 0d 32 "}),
                         CaseName());

TEST(Run, LongerRequestFileInPlaceIsReplacedWhole) {
    PrepareResponse(SampleScreen());
    WriteFileBytes(RequestFilePath(), "12345678");
    RecordingWindow window;
    cmdRecord1_Click(window);
    EXPECT_EQ(ReportValue("request"), "61 64 72 0d 31 ");
    EXPECT_TRUE(ExchangeFilesGone());
}

TEST(Run, EmptyResponseKeepsTheText) {
    PrepareResponse("");
    RecordingWindow window;
    cmdRecord2_Click(window);
    EXPECT_EQ(window.log, kRunWithoutText);
    EXPECT_EQ(window.shown, u"before");
    EXPECT_TRUE(ExchangeFilesGone());
}

TEST(Run, DemoLookupProgramShowsItsRecords) {
    struct {
        void (*click)(WindowOperations&);
        std::string first;
        std::string last;
    } const records[] = {
        {&cmdRecord1_Click, "M\xFCller & S\xF6hne B\xFCromaschinen GmbH\r\n",
         "Zahlung 30 Tage netto, 14 Tage 2 % Skonto\r\n"},
        {&cmdRecord2_Click, "\xD6zt\xFCrk Papier- und Schreibwaren KG\r\n", "Zahlung 10 Tage netto\r\n"},
    };
    for (const auto& record : records) {
        PrepareFolder("", KEIL_DEMO_LOOKUP);
        RecordingWindow window;
        record.click(window);
        const std::u16string first = Widen(record.first);
        const std::u16string last = Widen(record.last);
        ASSERT_GE(window.shown.size(), first.size() + last.size());
        EXPECT_EQ(window.shown.substr(0, first.size()), first);
        EXPECT_EQ(window.shown.substr(window.shown.size() - last.size()), last);
        EXPECT_EQ(std::count(window.shown.begin(), window.shown.end(), u'\n'), 8);
    }
}

TEST(Run, ManyRunsLeakNoDescriptor) {
    PrepareResponse(SampleScreen());
    RecordingWindow window;
    cmdRecord1_Click(window);
    const int before = CountOpenDescriptors();
    for (int i = 0; i < 200; ++i) cmdRecord1_Click(window);
    EXPECT_EQ(CountOpenDescriptors(), before);
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace keil::test
