// The texts of system errors: each kind that a clerk meets has a text of
// the program's own, whatever the session's language; the rest keep the
// system's words, without inserts, and every one says what to do.

#include <gtest/gtest.h>

#include <map>

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
        EXPECT_TRUE(text.ends_with('.') && text.find('%') == std::string::npos) << text;
        const std::string system = SystemErrorText(code);
        ASSERT_FALSE(system.empty());
        if (fault == SystemFault::kOther) {
            EXPECT_TRUE(text.starts_with(system) && text.find("IT-Betreuung") != std::string::npos) << text;
            continue;
        }
        EXPECT_EQ(text.find(system), std::string::npos) << text;
        // One text for each kind, and another for each other kind.
        const auto [known, added] = texts.emplace(fault, text);
        EXPECT_EQ(known->second, text);
        for (const auto& [otherFault, otherText] : texts) {
            EXPECT_TRUE(otherFault == fault || otherText != text) << otherText;
        }
    }
}

TEST(SystemErrors, CodeZeroAddsNoSystemText) {
    EXPECT_EQ(SystemErrorText(0), "");
    try {
        ThrowSystemError(0, "Das Hauptfenster kann nicht angelegt werden");
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 0);
        EXPECT_EQ(std::string(e.text()), "Das Hauptfenster kann nicht angelegt werden. " + ExplainSystemError(0));
    }
}

}  // namespace
}  // namespace keil::test
