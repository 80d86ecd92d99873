#pragma once

// The texts that a clerk can meet, for the text tests: each case raises one.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace keil::test {

// The names that a text quotes.
struct Names {
    std::string file, folder, owner, user, helper;
};

struct TextCase {
    std::string name;
    std::function<void()> raise;
};

// A case by its name, in the test's report.
inline void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

// The texts that only this platform gives, with the arguments that it
// gives them.
std::vector<TextCase> PlatformTexts(const Names& n);

}  // namespace keil::test
