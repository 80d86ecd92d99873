// Every text that a clerk can meet in an error's message box, with the
// longest names a server gives: German quotation marks only; no colon after
// the box's "Fehler N:" but inside a quoted name; no errno name but the one
// in parentheses for the IT support; one reporting phrase at most, and that
// one; a full stop at the end, no insert left; short enough to take in at a
// glance. And each kind of system error that a clerk meets has a text of
// the program's own. The errors document lists each of the program's own
// texts as the program words it.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "folder_check/folder_guard.h"
#include "process/launcher.h"
#include "run/checked.h"
#include "run/lookup_run.h"
#include "shared_folder/exchange_file.h"
#include "support.h"
#include "system/error.h"
#include "texts.h"

namespace keil::test {
namespace {

// The longest names that a server gives.
const Names kLongest = {R"(\\fs01-buchhaltung\fibu-mandant-0815\out.txt)", R"(\\fs01-buchhaltung\fibu-mandant-0815\)",
                        R"(TS01-BUCHHALTUNG\mueller-luedenscheidt)", "mueller-luedenscheidt",
                        "/usr/libexec/keilbrecher/keilbrecher-exchange"};
constexpr std::size_t kMostCharacters = 450;

std::vector<TextCase> AllTexts(const Names& n) {
    std::vector<TextCase> cases = {
        {"Overflow", [] { ThrowOverflow(); }},
        {"Range", [] { ThrowRange(); }},
        {"EmptyResponse", [=] { ThrowEmptyResponse({0, 0}); }},
        {"EmptyResponseWithItsExitCode", [=] { ThrowEmptyResponse({7, 0}); }},
        {"Outran", [=] { ThrowOutran(n.file); }},
        {"CutShort", [=] { ThrowCutShort(n.file); }},
        {"BrokenOffByClerk", [=] { ThrowBrokenOffByClerk(); }},
        {"Allocation", [=] { ThrowAllocation(); }},
        {"NotPlainFile", [=] { ThrowNotPlainFile(kResponseRole, n.file, "eine besondere Datei"); }},
        {"Replaced", [=] { ThrowReplaced(kRequestRole, n.file); }},
        {"ResponseTooLarge", [=] { ThrowResponseTooLarge(n.file, 2147483648LL); }},
        {"ResponseChanged", [=] { ThrowResponseChanged(n.file); }},
        {"EntryWithMoreLinks", [=] { ThrowRefusedEntry(n.file, Place::kInside, {Verdict::kMoreLinks, "", 0}, "", ""); }},
        {"EntryUnreadable", [=] { ThrowRefusedEntry(n.folder + "x.dll", Place::kInside, {Verdict::kTooWide, "", 0}, "", ""); }},
        {"EntryIsALink", [=] { ThrowRefusedEntry(n.folder + "x.dll", Place::kInside, {Verdict::kLink, "", 0}, "", ""); }},
        {"FolderAboveIsALink", [=] { ThrowRefusedEntry(n.folder, Place::kAbove, {Verdict::kLink, "", 0}, "", ""); }},
        {"CommandLine", [=] { SplitCommandLine(n.file); }},
        {"CommandLineWithoutAPart", [=] { SplitCommandLine(n.file + " < >"); }},
        {"NoSystemCode", [=] { ThrowSystemError(0, "Das Fenster des Keilbrechers kann nicht angelegt werden"); }},
    };
    for (TextCase& platform : PlatformTexts(n)) cases.push_back(std::move(platform));
    for (const auto& [code, fault] : kSystemFaults) {
        cases.push_back({"FileError" + std::to_string(code), [=] { ThrowFileError(code, kResponseRole, n.file, "gelesen"); }});
        cases.push_back({"StartError" + std::to_string(code), [=] { ThrowStartError(code, n.folder + "Lief-adr.exe"); }});
        cases.push_back({"NoRoom" + std::to_string(code), [=] { ThrowNoRoom(code, n.file); }});
    }
    return cases;
}

class Text : public testing::TestWithParam<TextCase> {};

TEST_P(Text, ReadsAtAGlance) {
    const std::string text = Catch(GetParam().raise).text;
    const std::string words = std::regex_replace(text, std::regex("„[^“]*“"), "");
    const auto count = [&text](std::string_view part) {
        std::ptrdiff_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(text.find('"'), std::string::npos) << text;
    EXPECT_EQ(words.find(':'), std::string::npos) << text;
    EXPECT_FALSE(std::regex_search(std::regex_replace(words, std::regex("\\([^)]*\\)"), ""), std::regex("E[A-Z]{3,}")))
        << text;
    EXPECT_LE(count("Melden Sie"), std::min(count("Melden Sie den Fehler Ihrer IT-Betreuung."), std::ptrdiff_t{1})) << text;
    EXPECT_TRUE(text.ends_with('.') && text.find('%') == std::string::npos) << text;
    // Characters, not bytes: a UTF-8 sequence counts once.
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
    EXPECT_LE(static_cast<std::size_t>(characters), kMostCharacters) << text;
}

INSTANTIATE_TEST_SUITE_P(Errors, Text, testing::ValuesIn(AllTexts(kLongest)),
                         [](const auto& row) { return row.param.name; });

TEST(SystemErrors, KindsHaveTextsOfTheirOwn) {
    std::map<SystemFault, std::string> texts;
    for (const auto& [code, fault] : kSystemFaults) {
        SCOPED_TRACE(code);
        EXPECT_EQ(ClassifySystemError(code), fault);
        const std::string text = ExplainSystemError(code);
        // The system's words for the rest only, then the advice.
        EXPECT_EQ(text.starts_with(SystemErrorText(code)) && text.size() > SystemErrorText(code).size() + 1,
                  fault == SystemFault::kOther) << text;
        EXPECT_TRUE(fault == SystemFault::kOther || texts.emplace(fault, text).first->second == text) << text;
    }
    std::set<std::string> distinct;
    for (const auto& [fault, text] : texts) distinct.insert(text);
    EXPECT_EQ(distinct.size(), texts.size());
    EXPECT_EQ(ExplainSystemError(0), "Melden Sie den Fehler Ihrer IT-Betreuung.");
}

// An empty response names no exit code where the wait could not open the
// program, which left it unknown. (One with an exit code and one without:
// the errors document's rows.)
TEST(Errors, EmptyResponseNamesNoExitCodeWhereThereIsNone) {
    const std::string text = Catch([] { ThrowEmptyResponse({-1, 0, false}); }).text;
    EXPECT_EQ(text.find("Rückgabewert"), std::string::npos) << text;
}

// The errors document's row of each of the program's own texts that this
// platform gives, with the number as the message box shows it and in
// hexadecimal, and "…" for the names that a message box fills in.
TEST(ErrorsDocument, ListsEveryTextOfTheProgramsOwn) {
    const std::string document = ReadFileBytes(KEIL_ERRORS_DOCUMENT);
    for (const TextCase& c : AllTexts({"…", "…", "…", "…", "…"})) {
        const Raised raised = Catch(c.raise);
        if ((raised.number & 0x20000000) == 0) continue;
        char number[16];
        std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(raised.number));
        const std::string row =
            "| " + std::to_string(raised.number) + " | " + std::string(number) + " | " + raised.text + " |";
        EXPECT_NE(document.find(row), std::string::npos) << row;
    }
}

}  // namespace
}  // namespace keil::test
