// A thousand lookups with the demo lookup program in one process: open
// descriptors and resident memory stay flat, and no process is left.

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>

#include "support.h"

namespace keil::test {
namespace {

// Resident memory may grow this much over the measured lookups. Under
// AddressSanitizer its own bookkeeping keeps growing for a while, and leaks
// are LeakSanitizer's to find there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kResidentSlackKiB = 1024;
#else
constexpr long kResidentSlackKiB = 128;
#endif

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

TEST(Soak, ThousandLookupsStayFlat) {
    PrepareFolder("", KEIL_DEMO_LOOKUP);
    RecordingWindow window;
    const auto lookup = [&window](int i) {
        window.log.clear();  // the record of operations would grow otherwise
        (i % 2 ? cmdRecord1_Click : cmdRecord2_Click)(window);
    };
    // The first runs settle the allocator (and a sanitizer's bookkeeping).
    // The measurements themselves allocate the first time they run.
    constexpr int kWarmUp = 300;
    for (int i = 0; i < kWarmUp; ++i) lookup(i);
    (void)CountOpenDescriptors();
    (void)ResidentKiB();
    const int descriptors = CountOpenDescriptors();
    const long residentBefore = ResidentKiB();

    for (int i = kWarmUp; i < 1000; ++i) lookup(i);

    const long residentAfter = ResidentKiB();
    std::cout << "after " << kWarmUp << " lookups: " << descriptors << " descriptors, " << residentBefore
              << " KiB resident; after 1000: " << CountOpenDescriptors() << " descriptors, "
              << residentAfter << " KiB resident\n";
    EXPECT_EQ(CountOpenDescriptors(), descriptors);
    EXPECT_LE(residentAfter - residentBefore, kResidentSlackKiB) << "resident memory grew";
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace keil::test
