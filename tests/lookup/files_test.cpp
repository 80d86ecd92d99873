#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "error.h"
#include "files.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

namespace fs = std::filesystem;

struct ReadFailure {
    const char* name;
    void (*make)(const std::string& path);
    std::int32_t number;
};

const ReadFailure kReadFailures[] = {
    {"Directory", [](const std::string& path) { fs::create_directory(path); }, EISDIR},
    // A sparse file: no disk space, but a size that does not fit 31 bits.
    {"TwoGiB",
     [](const std::string& path) {
         WriteFileBytes(path, "");
         fs::resize_file(path, std::uintmax_t{1} << 31);
     },
     kErrResponseTooLarge},
};

class ReadFailureTest : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(ReadFailureTest, RaisesAnErrorInsteadOfReading) {
    PrepareFolder();
    const std::string path = InFolder("out.txt");
    GetParam().make(path);
    try {
        ReadWholeFile(path);
        FAIL() << "read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), GetParam().number);
        EXPECT_NE(std::string(e.text()).find(path), std::string::npos) << e.text();
    }
    RemoveFolder();
}

INSTANTIATE_TEST_SUITE_P(Files, ReadFailureTest, ::testing::ValuesIn(kReadFailures), CaseName());

TEST(Files, DeletingAMissingFileIsAnError) {
    PrepareFolder();
    try {
        RemoveFile(InFolder("in.txt"));
        FAIL() << "deleted a missing file";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ENOENT);
    }
}

}  // namespace
}  // namespace keil::test
