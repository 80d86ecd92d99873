#pragma once

// Names and prints parameterised test cases by their `name` member.

#include <ostream>
#include <string>

namespace keil::test {

struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

template <typename Case>
    requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

}  // namespace keil::test
