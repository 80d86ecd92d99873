// Looks up one record of the demo lookup program again and again, as a
// user who keeps clicking one button would, and fails at the first error or
// the first block that is not this record's.
// usage: lookup_loop RECORD COUNT

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support.h"
#include "system/error.h"

namespace {

// Wine now and then reports a new process that ended before any of its
// code ran, its loader having failed, as ERROR_INTERNAL_ERROR from
// CreateProcess; nothing of the lookup program ran, and nothing of this
// program caused it. Such a lookup is tried again, a few times in a loop
// at most, so that the loop still fails when starts keep failing.
constexpr int kWineStartFailure = 1359;
constexpr int kStartRetries = 3;

}  // namespace

int main(int, char** argv) {
    const bool first = std::string(argv[1]) == "1";
    // The company names that the demo's two records begin with.
    const std::string company = first ? "M\xfcller & S\xf6hne" : "\xd6zt\xfcrk Papier";
    keil::test::Recorder window;
    int retries = 0;
    for (int i = 1; i <= std::atoi(argv[2]); ++i) {
        try {
            window.LookUp(first ? 1 : 2);
        } catch (const keil::Error& e) {
            std::fprintf(stderr, "record %s, lookup %d: error %d: %s\n", argv[1], i, e.number(), e.text());
            if (e.number() != kWineStartFailure || ++retries > kStartRetries) return 1;
            --i;
            continue;
        }
        if (window.shown.rfind(company, 0) != 0) {
            std::fprintf(stderr, "record %s, lookup %d: another record's block\n", argv[1], i);
            return 1;
        }
    }
    return 0;
}
