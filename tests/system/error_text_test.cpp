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

#include "error.h"
#include "folder_guard.h"
#include "launcher.h"
#include "support.h"

namespace keil::test {
namespace {

// The names that a text quotes.
struct Names {
    std::string file, folder, owner, user, helper;
};
// The longest that a server gives.
const Names kLongest = {R"(\\fs01-buchhaltung\fibu-mandant-0815\out.txt)", R"(\\fs01-buchhaltung\fibu-mandant-0815\)",
                        R"(TS01-BUCHHALTUNG\mueller-luedenscheidt)", "mueller-luedenscheidt",
                        "/usr/libexec/keilbrecher/keilbrecher-exchange"};
constexpr std::size_t kMostCharacters = 450;

struct TextCase {
    std::string name;
    std::function<void()> raise;
};

std::vector<TextCase> AllTexts(const Names& n) {
    std::vector<TextCase> cases = {
        {"Overflow", [] { ThrowOverflow(); }},
        {"Range", [] { ThrowRange(); }},
        {"EmptyResponse", [=] { ThrowEmptyResponse(0); }},
        {"EmptyResponseWithItsExitCode", [=] { ThrowEmptyResponse(7); }},
        {"BrokeOffBySignal", [=] { ThrowBrokeOff(n.folder + "Lief-adr.exe", "das Signal 25 (SIGXFSZ)"); }},
        {"BrokeOffByException", [=] { ThrowBrokeOff(n.folder + "Lief-adr.exe", "die Ausnahme 0xC0000409"); }},
        {"CutShort", [=] { ThrowCutShort(n.file); }},
        {"HelperEnded", [=] { ThrowHelperEnded(n.helper); }},
        {"HelperNotAnswering", [=] { ThrowHelperNotAnswering(n.helper, 4194303); }},
        {"BrokenOffByClerk", [=] { ThrowBrokenOffByClerk(); }},
        {"Allocation", [=] { ThrowAllocation(); }},
        {"NotPlainFile", [=] { ThrowNotPlainFile(kResponseRole, n.file, "eine besondere Datei"); }},
        {"Replaced", [=] { ThrowReplaced(kRequestRole, n.file); }},
        {"ExchangeHelper", [=] { ThrowExchangeHelper(n.helper, n.folder); }},
        {"LockTaken", [=] { ThrowLockTaken(n.folder, "Global\\Keilbrecher lookup folder " + n.folder); }},
        {"ResponseTooLarge", [=] { ThrowResponseTooLarge(n.file, 2147483648LL); }},
        {"ResponseChanged", [=] { ThrowResponseChanged(n.file); }},
        {"ForeignEntry",
         [=] { ThrowRefusedEntry(n.folder + "sub\\planted.dll", false, {Verdict::kForeignOwner, "", 0}, "dem Konto „" + n.owner + "“", ""); }},
        {"EntryWithMoreLinks", [=] { ThrowRefusedEntry(n.file, false, {Verdict::kMoreLinks, "", 0}, "", ""); }},
        {"EntryTooWide",
         [=] { ThrowRefusedEntry(n.folder + "Lief-adr.exe", false, {Verdict::kTooWide, "S-1-5-11", 0x2}, "",
                                "Das Konto „NT-AUTORITÄT\\Authentifizierte Benutzer“"); }},
        {"EntryUnreadable", [=] { ThrowRefusedEntry(n.folder + "x.dll", false, {Verdict::kTooWide, "", 0}, "", ""); }},
        {"FolderTooWide", [=] { ThrowRefusedEntry(n.folder, true, {Verdict::kTooWide, "S-1-1-0", 0x40}, "", "Jeder Benutzer des Rechners"); }},
        {"ForeignFolder", [=] { ThrowRefusedEntry(n.folder, true, {Verdict::kForeignOwner, "", 0}, "", ""); }},
        {"FolderIsALink", [=] { ThrowFolderIsALink(n.folder); }},
        {"HeldByAnother", [=] { ThrowHeldByAnother(1224, "Die Anfragedatei", n.file); }},
        {"ReadOnly", [=] { ThrowReadOnly(kRequestRole, n.file); }},
        {"ExtraLink", [=] { ThrowExtraLink(kRequestRole, n.file, 2); }},
        {"CommandLine", [=] { SplitCommandLine(n.file); }},
        {"NoSystemCode", [=] { ThrowSystemError(0, "Das Fenster des Keilbrechers kann nicht angelegt werden"); }},
    };
    for (const auto& [code, fault] : kSystemFaults) {
        cases.push_back({"FileError" + std::to_string(code), [=] { ThrowFileError(code, kResponseRole, n.file, "gelesen"); }});
        cases.push_back({"StartError" + std::to_string(code), [=] { ThrowStartError(code, n.folder + "Lief-adr.exe"); }});
        cases.push_back({"NoRoom" + std::to_string(code), [=] { ThrowNoRoom(code, n.file); }});
    }
    return cases;
}

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

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

// The errors document's row of each of the program's own texts, with "…"
// for the names that a message box fills in.
TEST(ErrorsDocument, ListsEveryTextOfTheProgramsOwn) {
    const std::string document = ReadFileBytes(KEIL_ERRORS_DOCUMENT);
    for (const TextCase& c : AllTexts({"…", "…", "…", "…", "…"})) {
        const Raised raised = Catch(c.raise);
        if ((raised.number & 0x20000000) == 0) continue;
        char number[16];
        std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(raised.number));
        const std::string row = "| " + std::string(number) + " | " + raised.text + " |";
        EXPECT_NE(document.find(row), std::string::npos) << row;
    }
}

}  // namespace
}  // namespace keil::test
