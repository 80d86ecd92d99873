// The whole lookup run, one row a scenario: what the fake lookup program
// does, what the run must give (the block, or the error's number), the
// operations on the window and the exchange files left. Every row also
// checks what the lookup program was given, that no descriptor or handle
// leaked and that no process was left.

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "error.h"
#include "support.h"

namespace keil::test {
namespace {

namespace fs = std::filesystem;

enum Left { kNone = 0, kIn = 1, kOut = 2, kInAndOut = 3 };

struct Scenario {
    const char* name;
    std::string response;  // what the fake lookup program writes
    const char* mode;      // further instructions to it
    std::int32_t error;    // the number raised, or 0
    std::optional<std::string> block;  // shown; none: the text stays
    OperationLog log;
    int left;                     // the exchange files left
    void (*prepare)() = nullptr;  // further set-up of the folder
    Platform only = kBothPlatforms;
    const char* tampered = "";  // what the fake's tampering gave
};

constexpr std::int32_t kNotPlain = 0x20000007;
constexpr std::int32_t kReplaced = 0x20000008;
const OperationLog kShownThenFailed = {"1:off", "2:off", "text"};
const std::string kScreen = SampleScreen();
const std::string kBlock = SampleBlock();
const std::string kHighBytes = std::string("Nul\0", 4) + "\x80\x9f\xa0\xfc\xff";

void ReplaceProgram(const std::string& content, fs::perms permissions) {
    fs::remove(InFolder("Lief-adr.exe"));
    WriteFileBytes(InFolder("Lief-adr.exe"), content);
    fs::permissions(InFolder("Lief-adr.exe"), permissions);
}

const Scenario kScenarios[] = {
    {"Record1", kScreen, "", 0, kBlock, kCompleteRun, kNone},
    // Both exchange files are made new, whoever left them: a lookup program
    // of an earlier run may still write into the response file it was
    // given, and the lookup program reads the request alone. The fake
    // reports that it was given new files of this user's, mode 0600 on
    // POSIX.
    {"LeftoversOfAnotherUser", kScreen, "", 0, kBlock, kCompleteRun, kNone,
     [] {
         WriteFileBytes(RequestFilePath(), "adr\r2 und mehr");
         WriteFileBytes(ResponseFilePath(), SampleScreen("Alte Firma") + SampleScreen("Alte Firma"));
         GiveToAnotherUser(RequestFilePath());
         GiveToAnotherUser(ResponseFilePath());
     }},
    // A colleague's program tampers with the exchange files by their names
    // during the run. What the lookup program read and wrote is shown,
    // never the forgery: Windows refuses her a write or rename (sharing
    // violation), POSIX leaves a file renamed over the response in place
    // and ends with the error. Writing in place is what the mode 0600 keeps
    // another POSIX user from.
    {"ForgedResponseRenamedOver", kScreen, "forge-response", kReplaced, kBlock, kShownThenFailed, kOut, nullptr,
     kPosixOnly, "forge-response=0\n"},
    {"ForgedResponseRenamedOver", kScreen, "forge-response", 0, kBlock, kCompleteRun, kNone, nullptr, kWindowsOnly,
     "forge-response=5\n"},
    {"ForgedResponseWrittenInPlace", kScreen, "overwrite-response", 0, kBlock, kCompleteRun, kNone, nullptr,
     kWindowsOnly, "overwrite-response=32\n"},
    {"ForgedRequestWrittenInPlace", kScreen, "overwrite-request", 0, kBlock, kCompleteRun, kNone, nullptr,
     kWindowsOnly, "overwrite-request=32\n"},
    // A response without a record is an error, empty or not.
    {"EmptyResponse", "", "", kErrRange, {}, kFailedRun, kInAndOut},
    {"OneByteResponse", "x", "", kErrRange, {}, kFailedRun, kInAndOut},
    {"NulAndHighBytes", SampleScreen(kHighBytes), "", 0, SampleBlock(kHighBytes), kCompleteRun, kNone},
    {"SixteenMiBBeforeTheScreen", std::string(16 << 20, 'x') + kScreen, "", 0, kBlock, kCompleteRun, kNone},
    {"NonZeroExitCode", kScreen, "exit 7", 0, kBlock, kCompleteRun, kNone},
    {"FolderMissing", kScreen, "", kErrNoFolder, {}, kFailedRun, kNone, &RemoveFolder},
    // Anything but a plain file with one link in place of an exchange file
    // is left as it is, and so is what it leads to. Wine makes no symbolic
    // links, and Windows keeps its named pipes outside the file system.
    {"RequestFileIsAFolder", kScreen, "", kNotPlain, {}, kFailedRun, kIn, [] { fs::create_directory(RequestFilePath()); }},
    {"RequestFileLinksOutside", kScreen, "", kNotPlain, {}, kFailedRun, kIn,
     [] { fs::create_symlink(OutsideFile(), RequestFilePath()); }, kPosixOnly},
    {"RequestFileIsANamedPipe", kScreen, "", kNotPlain, {}, kFailedRun, kIn, [] { MakeNamedPipe(RequestFilePath()); },
     kPosixOnly},
    // A leftover plain file with a second link goes on POSIX, where a clerk
    // could link her own leftover elsewhere to block the others; what the
    // link leads to stays. Windows leaves it.
    {"RequestFileHasASecondLink", kScreen, "", 0, kBlock, kCompleteRun, kNone,
     [] { fs::create_hard_link(OutsideFile(), RequestFilePath()); }, kPosixOnly},
    {"RequestFileHasASecondLink", kScreen, "", kNotPlain, {}, kFailedRun, kIn,
     [] { fs::create_hard_link(OutsideFile(), RequestFilePath()); }, kWindowsOnly},
    {"ResponseFileIsAFolder", kScreen, "", kNotPlain, {}, kFailedRun, kInAndOut,
     [] { fs::create_directory(ResponseFilePath()); }},
    {"ResponseFileLinksOutside", kScreen, "", kNotPlain, {}, kFailedRun, kInAndOut,
     [] { fs::create_symlink(OutsideFile(), ResponseFilePath()); }, kPosixOnly},
    {"ResponseFileIsANamedPipe", kScreen, "", kNotPlain, {}, kFailedRun, kInAndOut,
     [] { MakeNamedPipe(ResponseFilePath()); }, kPosixOnly},
    {"ResponseFileHasASecondLink", kScreen, "", 0, kBlock, kCompleteRun, kNone,
     [] { fs::create_hard_link(OutsideFile(), ResponseFilePath()); }, kPosixOnly},
    {"ResponseFileHasASecondLink", kScreen, "", kNotPlain, {}, kFailedRun, kInAndOut,
     [] { fs::create_hard_link(OutsideFile(), ResponseFilePath()); }, kWindowsOnly},
    {"ProgramMissing", kScreen, "", kErrNoFile, {}, kFailedRun, kInAndOut, [] { fs::remove(InFolder("Lief-adr.exe")); }},
    {"ProgramNotExecutable", kScreen, "", EACCES, {}, kFailedRun, kInAndOut,
     [] { ReplaceProgram("\x7f" "ELF", fs::perms::owner_read); }, kPosixOnly},
    // No shell runs the program: a script without "#!" does not start.
    {"ScriptWithoutInterpreterLine", kScreen, "", kErrNotAProgram, {}, kFailedRun, kInAndOut,
     [] { ReplaceProgram("echo must not run\n", fs::perms::owner_all); }},
    // The block is shown before the exchange files are deleted. (Windows
    // lets nobody delete a file that the run holds by its name.)
    {"ProgramDeletesTheRequest", kScreen, "delete-request", kErrNoFile, kBlock, kShownThenFailed, kOut, nullptr,
     kPosixOnly},
    {"ResponseOf2GiB", kScreen, "grow-response 2147483648", 0x20000004, {}, kFailedRun, kInAndOut},
};

TEST(Run, Scenarios) {
    const std::string started = GiveThisProcessInheritables() + "folder=own\n";
    // A first lookup starts what lives as long as the process (the exchange
    // helper on POSIX) before the descriptors are counted.
    PrepareResponse(kScreen);
    RecordingWindow first;
    cmdRecord1_Click(first);
    for (const Scenario& s : kScenarios) {
        if (!OnThisPlatform(s.only)) continue;
        SCOPED_TRACE(s.name);
        PrepareResponse(s.response, std::string(s.mode) + "\n");
        WriteFileBytes(OutsideFile(), "keep");
        if (s.prepare) s.prepare();
        const int handles = CountOpenHandles();
        RecordingWindow window;
        std::int32_t error = 0;
        std::string text;
        try {
            cmdRecord1_Click(window);
        } catch (const Error& e) {
            error = e.number();
            text = e.text();
        }

        EXPECT_EQ(error, s.error);
        // Every text ends in a full stop, with no insert left for a name.
        EXPECT_TRUE(error == 0 || (text.ends_with('.') && text.find('%') == std::string::npos)) << text;
        EXPECT_EQ(window.shown, s.block ? Widen(*s.block) : u"before");
        EXPECT_EQ(window.log, s.log);
        EXPECT_EQ(FileExists(RequestFilePath()), (s.left & kIn) != 0);
        EXPECT_EQ(FileExists(ResponseFilePath()), (s.left & kOut) != 0);
        if (FileExists(InFolder("fake-report.txt"))) {
            EXPECT_EQ(ReadFileBytes(InFolder("fake-request.bin")), "adr\r1");
            EXPECT_EQ(ReadFileBytes(InFolder("fake-report.txt")), started);
        }
        EXPECT_EQ(ReadFileBytes(InFolder("fake-tamper.txt")), s.tampered);
        EXPECT_EQ(ReadFileBytes(OutsideFile()), "keep");
        // Files renamed on their way to deletion are gone too.
        std::error_code noFolder;
        for (const auto& e : fs::directory_iterator(FibuDir(), noFolder)) EXPECT_NE(e.path().extension(), ".deleted");
        EXPECT_EQ(CountOpenHandles(), handles);
        EXPECT_TRUE(NoChildLeft());
    }
}

}  // namespace
}  // namespace keil::test
