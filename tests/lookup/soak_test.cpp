// A thousand lookups with the demo lookup program in one process: open
// descriptors and resident memory stay flat, and no process is left.

#include <gtest/gtest.h>

#include <iostream>

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
    // The first 300 runs settle the allocator (and a sanitizer's
    // bookkeeping); the measurements allocate the first time they run.
    int descriptors = 0;
    long resident = 0;
    for (int i = 0; i < 1000; ++i) {
        if (i == 300) {
            (void)CountOpenHandles();
            (void)ResidentKiB();
            descriptors = CountOpenHandles();
            resident = ResidentKiB();
        }
        window.log.clear();  // the record of operations would grow otherwise
        (i % 2 ? cmdRecord1_Click : cmdRecord2_Click)(window);
    }
    std::cout << "after 300 lookups: " << descriptors << " descriptors, " << resident << " KiB resident; after 1000: "
              << CountOpenHandles() << " descriptors, " << ResidentKiB() << " KiB resident\n";
    EXPECT_EQ(CountOpenHandles(), descriptors);
    EXPECT_LE(ResidentKiB() - resident, kResidentSlackKiB) << "resident memory grew";
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace keil::test
