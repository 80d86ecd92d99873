// The texts of system errors: each kind that a clerk meets has a text of
// the program's own, whatever the session's language; the rest keep the
// system's words, without inserts, and every one says what to do.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "error.h"
#include "support.h"

namespace keil::test {
namespace {

TEST(SystemErrors, KindsHaveTextsOfTheirOwn) {
    std::map<SystemFault, std::string> texts;
    for (const auto& [code, fault] : kSystemFaults) {
        SCOPED_TRACE(code);
        EXPECT_EQ(ClassifySystemError(code), fault);
        const std::string text = ExplainSystemError(code);
        const std::string system = SystemErrorText(code);
        EXPECT_TRUE(!system.empty() && text.ends_with('.') && text.find('%') == std::string::npos) << text;
        // The system's words for the rest only, then the advice.
        EXPECT_EQ(text.starts_with(system) && text.size() > system.size() + 1, fault == SystemFault::kOther) << text;
        EXPECT_TRUE(fault == SystemFault::kOther || texts.emplace(fault, text).first->second == text) << text;
    }
    // One text for each kind, and another for each other kind.
    std::set<std::string> distinct;
    for (const auto& [fault, text] : texts) distinct.insert(text);
    EXPECT_EQ(distinct.size(), texts.size());
}

TEST(SystemErrors, CodeZeroAddsNoSystemText) {
    EXPECT_EQ(SystemErrorText(0), "");
    try {
        ThrowSystemError(0, "Das Hauptfenster kann nicht angelegt werden");
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.text()), "Das Hauptfenster kann nicht angelegt werden. " + ExplainSystemError(0));
    }
}

}  // namespace
}  // namespace keil::test
