// The whole lookup run against every fault it can meet, one row a fault.
// Rows that end in an error check its number and text, the buttons left
// disabled and the exchange files left; rows that go on check the block
// shown and both files deleted. Every row checks that no process and no
// descriptor is left behind.

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "error.h"
#include "fixed_paths.h"
#include "support.h"

namespace keil::test {
namespace {

using keil::test::PrintTo;

namespace fs = std::filesystem;

struct FaultCase {
    const char* name;
    std::function<void()> prepare;
    // Set for rows that end in an error.
    std::optional<std::int32_t> error;
    const char* textPart;
    OperationLog log;
    bool requestLeft;
    bool responseLeft;
    // For rows that go on: the block shown, or nothing for an unchanged text.
    std::optional<std::string> block;
    std::function<void()> check;
};

void ReplaceProgram(const std::function<void(const std::string&)>& make) {
    PrepareResponse(SampleScreen());
    const std::string program = InFolder("Lief-adr.exe");
    fs::remove(program);
    make(program);
}

const std::string kHighBytes = [] {
    std::string name = "Nul";
    name.push_back('\0');
    for (int v = 0x80; v <= 0xFF; ++v) name.push_back(static_cast<char>(v));
    return name;
}();

// 16 MiB of lines without a run of three blanks, then the screen.
std::string SixteenMiBResponse() {
    const std::string line = std::string(1022, 'x') + "\r\n";
    std::string response;
    response.reserve((std::size_t{16} << 20) + 512);
    while (response.size() < (std::size_t{16} << 20)) response += line;
    return response + SampleScreen();
}

// The grandchild that the program left behind still runs after the run:
// the run waited for the program only.
void GrandchildStillRuns() {
    const pid_t grandchild = std::stoi(ReadFileBytes(InFolder("fake-grandchild.txt")));
    EXPECT_EQ(::kill(grandchild, 0), 0) << "the run waited for the grandchild";
    ::kill(grandchild, SIGKILL);
}

FaultCase Fails(const char* name, std::function<void()> prepare, std::int32_t number,
                const char* textPart, bool requestLeft, bool responseLeft,
                OperationLog log = kFailedRun) {
    return {name, std::move(prepare), number, textPart, std::move(log), requestLeft, responseLeft,
            std::nullopt, nullptr};
}

FaultCase GoesOn(const char* name, std::function<void()> prepare, std::optional<std::string> block,
                 std::function<void()> check = nullptr) {
    return {name,  std::move(prepare), std::nullopt,    "",   block ? kCompleteRun : kRunWithoutText,
            false, false,              std::move(block), std::move(check)};
}

const FaultCase kFaults[] = {
    Fails("FolderMissing", [] { RemoveFolder(); }, ENOENT, "in.txt", false, false),
    Fails("RequestFileIsADirectory",
          [] {
              PrepareResponse(SampleScreen());
              fs::create_directory(RequestFilePath());
          },
          EISDIR, "in.txt", true, false),
    Fails("ResponseFileIsADirectory",
          [] {
              PrepareResponse(SampleScreen());
              fs::create_directory(ResponseFilePath());
          },
          EISDIR, "out.txt", true, true),
    Fails("ProgramMissing", [] { ReplaceProgram([](const std::string&) {}); }, ENOENT,
          "Lief-adr.exe", true, true),
    Fails("ProgramNotExecutable",
          [] { ReplaceProgram([](const std::string& path) { WriteFileBytes(path, "\x7f" "ELF"); }); },
          EACCES, "Lief-adr.exe", true, true),
    Fails("ProgramIsADirectory",
          [] { ReplaceProgram([](const std::string& path) { fs::create_directory(path); }); },
          EACCES, "Lief-adr.exe", true, true),
    Fails("ScriptWithoutInterpreterLine",
          [] {
              ReplaceProgram([](const std::string& path) {
                  WriteFileBytes(path, "echo must not run\n");
                  fs::permissions(path, fs::perms::owner_all);
              });
          },
          ENOEXEC, "Lief-adr.exe", true, true),
    // The block is shown before the exchange files are deleted.
    Fails("ProgramDeletesTheRequest", [] { PrepareResponse(SampleScreen(), "delete-request\n"); },
          ENOENT, "in.txt", false, true, {"1:off", "2:off", "text"}),
    Fails("NineLineFeeds", [] { PrepareResponse(Lines(std::vector<std::string>(9, "Firma   X"))); },
          kErrRange, "response", true, true),

    GoesOn("KilledBySignal", [] { PrepareResponse(SampleScreen(), "signal 9\n"); }, SampleBlock()),
    GoesOn("Exit1", [] { PrepareResponse(SampleScreen(), "exit 1\n"); }, SampleBlock()),
    GoesOn("Exit7", [] { PrepareResponse(SampleScreen(), "exit 7\n"); }, SampleBlock()),
    GoesOn("Exit255", [] { PrepareResponse(SampleScreen(), "exit 255\n"); }, SampleBlock()),
    GoesOn("WritesNothing", [] { PrepareResponse(""); }, std::nullopt),
    GoesOn("NulAndHighBytes", [] { PrepareResponse(SampleScreen(kHighBytes)); }, SampleBlock(kHighBytes)),
    GoesOn("SixteenMiBWithTheBlockAtItsEnd", [] { PrepareResponse(SixteenMiBResponse()); }, SampleBlock()),
    GoesOn("GrandchildLeftRunning", [] { PrepareResponse(SampleScreen(), "grandchild-ms 30000\n"); },
           SampleBlock(), &GrandchildStillRuns),
};

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, Run) {
    const FaultCase& c = GetParam();
    c.prepare();
    const int descriptors = CountOpenDescriptors();
    RecordingWindow window;
    std::optional<Error> raised;
    try {
        cmdRecord1_Click(window);
    } catch (const Error& e) {
        raised = e;
    }

    if (c.error) {
        ASSERT_TRUE(raised) << "no error";
        EXPECT_EQ(raised->number(), *c.error);
        const std::string text = raised->text();
        EXPECT_NE(text.find(c.textPart), std::string::npos) << text;
        if (*c.error < 0x20000000) {
            EXPECT_NE(text.find(std::strerror(*c.error)), std::string::npos) << text;
        }
    } else {
        ASSERT_FALSE(raised) << raised->number() << ": " << raised->text();
        EXPECT_EQ(window.shown, c.block ? Widen(*c.block) : u"before");
    }
    EXPECT_EQ(window.log, c.log);
    EXPECT_EQ(FileExists(RequestFilePath()), c.requestLeft);
    EXPECT_EQ(FileExists(ResponseFilePath()), c.responseLeft);
    EXPECT_EQ(CountOpenDescriptors(), descriptors);
    EXPECT_TRUE(NoChildLeft());
    if (c.check) c.check();
}

INSTANTIATE_TEST_SUITE_P(Lookup, FaultMatrix, ::testing::ValuesIn(kFaults), CaseName());

}  // namespace
}  // namespace keil::test
