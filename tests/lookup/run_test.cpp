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

using Log = std::vector<std::string>;
const Log kCompleteRun = {"1:off", "2:off", "text", "1:on", "2:on"};
const Log kFailedRun = {"1:off", "2:off"};

// A response laid out as the lookup program lays it out: its block is
// "Muster GmbH" CR LF and the lines "Zeile 4" to "Zeile 10".
std::string Screen() {
    std::vector<std::string> lines = {"Kopf 1", "Kopf 2", "Firma   Muster GmbH"};
    for (int i = 4; i <= 12; ++i) lines.push_back("Zeile " + std::to_string(i));
    return Lines(lines);
}

std::u16string ScreenBlock() {
    std::vector<std::string> lines = {"Muster GmbH"};
    for (int i = 4; i <= 10; ++i) lines.push_back("Zeile " + std::to_string(i));
    return Widen(Lines(lines));
}

void PrepareResponse(const std::string& response, const std::string& moreMode = "") {
    PrepareFolder("respond answer.bin\n" + moreMode);
    WriteFileBytes(InFolder("answer.bin"), response);
}

bool ExchangeFilesGone() { return !FileExists(RequestFilePath()) && !FileExists(ResponseFilePath()); }

struct ClickCase {
    const char* name;
    void (*click)(WindowOperations&);
    const char* requestBytes;
};

class ClickTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ClickTest, SendsTheRequestAndShowsTheBlock) {
    PrepareResponse(Screen());
    RecordingWindow window;
    GetParam().click(window);

    EXPECT_EQ(ReportValue("request"), GetParam().requestBytes);
    EXPECT_EQ(ReportValue("argv0"), FibuDir() + "Lief-adr.exe");
    EXPECT_EQ(ReportValue("stdin"), FibuDir() + "in.txt");
    EXPECT_EQ(ReportValue("stdout"), FibuDir() + "out.txt");
    EXPECT_EQ(window.log, kCompleteRun);
    EXPECT_EQ(window.shown, ScreenBlock());
    EXPECT_TRUE(ExchangeFilesGone());
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(Run, ClickTest,
                         ::testing::Values(ClickCase{"Record1", &cmdRecord1_Click, "61 64 72 0d 31 "},
                                           ClickCase{"Record2", &cmdRecord2_Click, "61 64 72 0d 32 "}),
                         CaseName());

TEST(Run, LongerRequestFileInPlaceIsReplacedWhole) {
    PrepareResponse(Screen());
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
    EXPECT_EQ(window.log, (Log{"1:off", "2:off", "1:on", "2:on"}));
    EXPECT_EQ(window.shown, u"before");
    EXPECT_TRUE(ExchangeFilesGone());
}

// However the lookup program ends, the run goes on to the end.
TEST(Run, GoesOnWhateverTheProgramsEnd) {
    for (const char* ending : {"exit 7\n", "exit 1\n", "exit 255\n", "signal 9\n", "signal 15\n",
                               "grandchild-ms 3000\n"}) {
        PrepareResponse(Screen(), ending);
        RecordingWindow window;
        cmdRecord1_Click(window);
        EXPECT_EQ(window.log, kCompleteRun) << ending;
        EXPECT_EQ(window.shown, ScreenBlock()) << ending;
        EXPECT_TRUE(ExchangeFilesGone()) << ending;
        EXPECT_TRUE(NoChildLeft()) << ending;
    }
}

// An error leaves the run at once: buttons stay disabled, exchange files
// stay where they are, no process is left.
struct FailureCase {
    const char* name;
    void (*prepare)();
    std::int32_t number;
    const char* textPart;
    Log log;
    bool requestLeft;
    bool responseLeft;
};

const FailureCase kFailures[] = {
    {"FolderMissing", [] { RemoveFolder(); }, ENOENT, "in.txt", kFailedRun, false, false},
    {"ProgramMissing",
     [] {
         PrepareFolder();
         std::filesystem::remove(InFolder("Lief-adr.exe"));
     },
     ENOENT, "Lief-adr.exe", kFailedRun, true, true},
    {"ResponseTooShort", [] { PrepareResponse(std::string(9, '\n')); }, kErrRange, "response", kFailedRun,
     true, true},
    // The block is shown before the exchange files are deleted.
    {"ProgramDeletesTheRequest", [] { PrepareResponse(Screen(), "delete-request\n"); }, ENOENT,
     "in.txt", {"1:off", "2:off", "text"}, false, true},
};

class FailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, LeavesTheRunWithTheError) {
    const FailureCase& c = GetParam();
    c.prepare();
    RecordingWindow window;
    try {
        cmdRecord1_Click(window);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), c.number);
        EXPECT_NE(std::string(e.text()).find(c.textPart), std::string::npos) << e.text();
    }
    EXPECT_EQ(window.log, c.log);
    EXPECT_EQ(FileExists(RequestFilePath()), c.requestLeft);
    EXPECT_EQ(FileExists(ResponseFilePath()), c.responseLeft);
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(Run, FailureTest, ::testing::ValuesIn(kFailures),
                         CaseName());

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
    PrepareResponse(Screen());
    RecordingWindow window;
    cmdRecord1_Click(window);
    const int before = CountOpenDescriptors();
    for (int i = 0; i < 200; ++i) cmdRecord1_Click(window);
    EXPECT_EQ(CountOpenDescriptors(), before);
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace keil::test
