// The whole lookup run, one row a scenario: what the fake lookup program
// does, what the run must give (the block, or the error's number), what it
// showed and the exchange files left. Every row also checks what the
// lookup program was given, that no descriptor or handle leaked and that
// no process was left.

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "shared_folder/exchange_file.h"
#include "support.h"
#include "system/error.h"

namespace keil::test {
namespace {

namespace fs = std::filesystem;

enum Left { kNone = 0, kIn = 1, kOut = 2, kInAndOut = 3 };

const std::string kScreen = SampleScreen();
const std::string kBlock = SampleBlock();
const std::optional<std::string> kNothing = std::nullopt;
const std::string kHighBytes = std::string("Nul\0", 4) + "\x80\x9f\xa0\xfc\xff";

struct Scenario {
    const char* name;
    std::string response = kScreen;  // what the fake lookup program writes
    const char* mode = "";           // further instructions to it
    void (*prepare)() = nullptr;     // further set-up of the folder
    std::int32_t error = 0;          // the number raised, or 0
    std::optional<std::string> shown = kBlock;  // the block shown, if any
    int left = kNone;                // the exchange files left
    bool started = true;             // whether the lookup program ran
    const char* named = "";          // in the error's text
    Platform only = kBothPlatforms;
    const char* tampered = "";       // what the fake's tampering gave
    std::int64_t fileSizeLimit = 0;  // this process's, for the run, or 0
    std::int64_t diskFree = -1;      // the folder on a disk with this much free
    bool asRoot = false;             // needs root (POSIX), as a small disk does
};

// The first 30 lines of a 110-line screen: enough line feeds for a block.
std::string ScreenCutAfter30Lines() {
    std::string screen;
    for (int i = 1; i <= 30; ++i) screen += "Kopfzeile " + std::to_string(i) + "   Buchungstext\r\n";
    return screen;
}

void ReplaceProgram(const std::string& content, fs::perms permissions) {
    fs::remove(InFolder("Lief-adr.exe"));
    WriteFileBytes(InFolder("Lief-adr.exe"), content);
    fs::permissions(InFolder("Lief-adr.exe"), permissions);
}

// A file that a clerk made beside the lookup folder and gave Users' rights
// to, ready to be moved in: a move keeps its owner, another user (Wine
// shows another Unix user's file as S-1-5-7).
std::string PreparedAbove(bool foreign = true) {
    const std::string path = (fs::path(FibuDir()).parent_path().parent_path() / "planted.dll").string();
    fs::remove(path);
    WriteFileBytes(path, "MZ");
    if (foreign) GiveToAnotherUser(path);
    return path;
}

void PlantInFolder(const std::string& name) {
    fs::create_directories(fs::path(InFolder(name)).parent_path());
    fs::rename(PreparedAbove(), InFolder(name));
}

void LeaveFilesOfAnotherUser() {
    WriteFileBytes(RequestFilePath(), "adr\r2 und mehr");
    WriteFileBytes(ResponseFilePath(), SampleScreen("Alte Firma") + SampleScreen("Alte Firma"));
    GiveToAnotherUser(RequestFilePath());
    GiveToAnotherUser(ResponseFilePath());
}

const Scenario kScenarios[] = {
    {.name = "Record1"},
    // Whoever left the exchange files, the lookup program reads the request
    // alone and the response is only what it writes: POSIX makes both new,
    // mode 0600, and removes them after the run; Windows takes both as they
    // stand (an administrator makes them once on a shared server, where
    // clerks may not create files), empties them and leaves them empty.
    {.name = "LeftoversOfAnotherUser", .prepare = &LeaveFilesOfAnotherUser, .only = kPosixOnly},
    {.name = "LeftoversOfAnotherUser", .prepare = &LeaveFilesOfAnotherUser, .left = kInAndOut,
     .only = kWindowsOnly},
    // A colleague's program tampers with the exchange files by their names
    // during the run. What the lookup program read and wrote is shown,
    // never the forgery: Windows refuses her a write or rename (sharing
    // violation), POSIX leaves a file renamed over the response in place
    // and ends with the error. Writing in place is what the mode 0600 keeps
    // another POSIX user from.
    {.name = "ForgedResponseRenamedOver", .mode = "forge-response", .error = kErrReplaced, .left = kOut,
     .only = kPosixOnly, .tampered = "forge-response=0\n"},
    {.name = "ForgedResponseRenamedOver", .mode = "forge-response", .only = kWindowsOnly,
     .tampered = "forge-response=5\n"},
    {.name = "ForgedResponseWrittenInPlace", .mode = "overwrite-response", .only = kWindowsOnly,
     .tampered = "overwrite-response=32\n"},
    {.name = "ForgedRequestWrittenInPlace", .mode = "overwrite-request", .only = kWindowsOnly,
     .tampered = "overwrite-request=32\n"},
    // A response without a record is an error, empty or not.
    {.name = "EmptyResponse", .response = "", .error = kErrRange, .shown = kNothing, .left = kInAndOut},
    {.name = "OneByteResponse", .response = "x", .error = kErrRange, .shown = kNothing, .left = kInAndOut},
    {.name = "NulAndHighBytes", .response = SampleScreen(kHighBytes), .shown = SampleBlock(kHighBytes)},
    // Written a piece at a time, a response far larger than the room first
    // reserved finds more reserved ahead of it at each turn.
    {.name = "SixteenMiBBeforeTheScreen", .response = std::string(16 << 20, 'x') + kScreen, .mode = "chunks 524288 20"},
    {.name = "NonZeroExitCode", .mode = "exit 7"},
    {.name = "ExitCodeMinus2", .mode = "exit -2"},
    // The screen is read only once what the lookup program started has
    // ended, in its process group or out of it.
    {.name = "ChildWritesTheScreenLater", .mode = "child-screen 1000"},
    {.name = "ChildLeavesTheGroupAndWritesTheScreenLater", .mode = "child-screen 1000\nchild-leaves"},
    {.name = "NoResponseAndExitCode7", .response = "", .mode = "exit 7", .error = kErrRange, .shown = kNothing,
     .left = kInAndOut, .named = "mit dem Rückgabewert 7 geendet,"},
    // A lookup program that crashed halfway wrote lines that look like a
    // screen: they are not taken for the record.
    {.name = "CrashAfterPartOfItsScreen", .response = ScreenCutAfter30Lines(), .mode = "crash",
     .error = kErrBrokeOff, .shown = kNothing, .left = kInAndOut, .named = "durch das Signal 11 (SIGSEGV) vorzeitig beendet",
     .only = kPosixOnly},
    {.name = "CrashAfterPartOfItsScreen", .response = ScreenCutAfter30Lines(), .mode = "crash",
     .error = kErrBrokeOff, .shown = kNothing, .left = kInAndOut, .named = "durch die Ausnahme 0xC0000005 vorzeitig beendet",
     .only = kWindowsOnly},
    // A runaway writer stops at the file size limit (here this process's
    // own, lowered for the row) and is broken off by it; one that ignores
    // the signal has its writes fail, and reached the limit whatever it
    // ends with.
    {.name = "RunawayWriter", .mode = "write-forever", .error = kErrBrokeOff, .shown = kNothing, .left = kInAndOut,
     .named = "(SIGXFSZ)", .only = kPosixOnly, .fileSizeLimit = 1 << 20},
    {.name = "RunawayWriterIgnoringTheSignal", .mode = "write-forever\nignore-sigxfsz", .error = kErrResponseTooLarge,
     .shown = kNothing, .left = kInAndOut, .named = "hat mit 1.048.576\u00A0Bytes die Größe erreicht",
     .only = kPosixOnly, .fileSizeLimit = 1 << 20},
    // A full disk: no room for the response stops the run before the start;
    // a response that filled the disk is not shown.
    {.name = "DiskFullBeforeTheStart", .error = kErrDiskFull, .shown = kNothing, .left = kInAndOut, .started = false,
     .named = "lässt sich kein Platz reservieren. Der Datenträger ist voll", .only = kPosixOnly, .diskFree = 8 << 10},
    {.name = "DiskFillsDuringTheRun", .response = std::string(4 << 20, 'x') + kScreen, .error = kErrCutShort,
     .shown = kNothing, .left = kInAndOut, .named = "war voll oder fast voll", .only = kPosixOnly,
     .diskFree = kResponseRoom + (80 << 10)},
    // Written at once, a response beyond the room reserved ahead of it may
    // have been cut by a disk that was full for a moment.
    {.name = "OutranTheRoomAtOnce", .response = std::string(static_cast<std::size_t>(kResponseRoom) + (1 << 20), 'x') + kScreen,
     .error = kErrCutShort, .shown = kNothing, .left = kInAndOut, .named = "schneller in die", .only = kPosixOnly},
    {.name = "FolderMissing", .prepare = &RemoveFolder, .error = kErrNoFolder, .shown = kNothing, .started = false},
    // Anything but a plain file with one link in place of an exchange file
    // is left as it is, and so is what it leads to; a request file made
    // for the run goes again when the response file fails. Wine makes no
    // symbolic links, and Windows keeps its named pipes outside the file
    // system.
    {.name = "RequestFileIsAFolder", .prepare = [] { fs::create_directory(RequestFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kIn, .started = false},
    {.name = "RequestFileLinksOutside", .prepare = [] { fs::create_symlink(OutsideFile(), RequestFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kIn, .started = false, .only = kPosixOnly},
    {.name = "RequestFileIsANamedPipe", .prepare = [] { MakeNamedPipe(RequestFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kIn, .started = false, .only = kPosixOnly},
    // A leftover plain file with a second link goes on POSIX, where a clerk
    // could link her own leftover elsewhere to block the others; what the
    // link leads to stays. Windows leaves it.
    {.name = "RequestFileHasASecondLink", .prepare = [] { fs::create_hard_link(OutsideFile(), RequestFilePath()); },
     .only = kPosixOnly},
    {.name = "RequestFileHasASecondLink", .prepare = [] { fs::create_hard_link(OutsideFile(), RequestFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kIn, .started = false,
     .named = "hat 2 feste Verknüpfungen, weil jemand ihr einen weiteren Namen", .only = kWindowsOnly},
    {.name = "ResponseFileIsAFolder", .prepare = [] { fs::create_directory(ResponseFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kOut, .started = false},
    {.name = "ResponseFileLinksOutside", .prepare = [] { fs::create_symlink(OutsideFile(), ResponseFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kOut, .started = false, .only = kPosixOnly},
    {.name = "ResponseFileIsANamedPipe", .prepare = [] { MakeNamedPipe(ResponseFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kOut, .started = false, .only = kPosixOnly},
    {.name = "ResponseFileHasASecondLink", .prepare = [] { fs::create_hard_link(OutsideFile(), ResponseFilePath()); },
     .only = kPosixOnly},
    {.name = "ResponseFileHasASecondLink", .prepare = [] { fs::create_hard_link(OutsideFile(), ResponseFilePath()); },
     .error = kErrNotPlainFile, .shown = kNothing, .left = kOut, .started = false, .only = kWindowsOnly},
    {.name = "ProgramMissing", .prepare = [] { fs::remove(InFolder("Lief-adr.exe")); }, .error = kErrNoFile,
     .shown = kNothing, .left = kInAndOut, .started = false},
    {.name = "ProgramNotExecutable", .prepare = [] { ReplaceProgram("\x7f" "ELF", fs::perms::owner_read); },
     .error = EACCES, .shown = kNothing, .left = kInAndOut, .started = false, .only = kPosixOnly},
    // No shell runs the program: a script without "#!" does not start.
    {.name = "ScriptWithoutInterpreterLine", .prepare = [] { ReplaceProgram("echo must not run\n", fs::perms::owner_all); },
     .error = kErrNotAProgram, .shown = kNothing, .left = kInAndOut, .started = false},
    // The block is shown before the exchange files are deleted. (Windows
    // lets nobody delete a file that the run holds by its name.)
    {.name = "ProgramDeletesTheRequest", .mode = "delete-request", .error = kErrNoFile, .left = kOut,
     .only = kPosixOnly},
    // POSIX stops a lookup program at the largest response the run reads.
    {.name = "ResponseOf2GiB", .mode = "grow-response 2147483648", .error = kErrBrokeOff, .shown = kNothing,
     .left = kInAndOut, .named = "(SIGXFSZ)", .only = kPosixOnly},
    {.name = "ResponseOf2GiB", .mode = "grow-response 2147483648", .error = kErrResponseTooLarge, .shown = kNothing,
     .left = kInAndOut, .only = kWindowsOnly},
    // On Windows every clerk may create files in the lookup folder; one
    // that no admin owns is refused before the lookup program starts, named
    // with its owner, and nothing is deleted, a leftover included.
    {.name = "ForeignFileBesideTheProgram", .prepare = [] {
         PlantInFolder("planted.dll");
         WriteFileBytes(RequestFilePath(), "alt");
     },
     .error = kErrForeignEntry, .shown = kNothing, .left = kIn, .started = false,
     .named = "„c:\\fibu\\planted.dll“ im Ordner des Suchprogramms gehört weder der IT-Betreuung noch Ihnen, "
              "sondern dem Konto „NT AUTHORITY\\ANONYMOUS LOGON“.",
     .only = kWindowsOnly},
    {.name = "ForeignFileBesideTheProgram",
     .prepare = [] {
         WriteFileBytes(InFolder("planted.dll"), "x");
         GiveToAnotherUser(InFolder("planted.dll"));
     },
     .error = kErrForeignEntry, .shown = kNothing, .started = false,
     .named = "planted.dll“ im Ordner des Suchprogramms gehört weder der IT-Betreuung noch Ihnen, sondern dem Benutzer "
              "„nobody“.",
     .only = kPosixOnly, .asRoot = true},
    {.name = "ForeignFileInTheRedirectionFolder", .prepare = [] { PlantInFolder("Lief-adr.exe.local\\x\\a.txt"); },
     .error = kErrForeignEntry, .shown = kNothing, .started = false, .named = "Lief-adr.exe.local\\x\\a.txt“",
     .only = kWindowsOnly},
    // The lookup program's data beside it may be anybody's: nothing loads it.
    {.name = "DataOfOthersBesideTheProgram", .prepare = [] {
         PlantInFolder("daten\\kunden.dat");
         PlantInFolder("lieferanten.dbf");
         LetEveryoneWrite(InFolder("daten"));
     },
     .only = kWindowsOnly},
    {.name = "DataOfOthersBesideTheProgram", .prepare = [] {
         WriteFileBytes(InFolder("lieferanten.dbf"), "x");
         GiveToAnotherUser(InFolder("lieferanten.dbf"));
         fs::create_directory(InFolder("daten"));
         LetEveryoneWrite(InFolder("daten"));
         fs::create_directory(InFolder("geschlossen"));
         fs::permissions(InFolder("geschlossen"), fs::perms::none);
     },
     .only = kPosixOnly, .asRoot = true},
    // The lookup program, the folder itself, a file with a second link and a
    // name that Windows would take for another are judged like every entry;
    // one that cannot be opened is refused.
    {.name = "ProgramOfAnotherUser", .prepare = [] { GiveToAnotherUser(ProgramPath()); }, .error = kErrForeignEntry,
     .shown = kNothing, .started = false, .named = "Lief-adr.exe“ im Ordner", .only = kWindowsOnly},
    {.name = "FolderOfAnotherUser", .prepare = [] { GiveToAnotherUser(FibuDir()); }, .error = kErrForeignEntry,
     .shown = kNothing, .started = false, .named = "Der Ordner des Suchprogramms „c:\\fibu\\“ gehört weder",
     .only = kWindowsOnly},
    {.name = "OwnFileWithASecondLink", .prepare = [] { fs::create_hard_link(OutsideFile(), InFolder("planted.dll")); },
     .error = kErrForeignEntry, .shown = kNothing, .started = false, .named = "planted.dll“ im Ordner des "
     "Suchprogramms hat eine weitere feste Verknüpfung", .only = kWindowsOnly},
    {.name = "ForeignFileWithATrailingDot", .prepare = [] { fs::rename(PreparedAbove(), "\\\\?\\" + InFolder("x.dll.")); },
     .error = kErrForeignEntry, .shown = kNothing, .started = false, .named = "x.dll.“", .only = kWindowsOnly},
    // (Wine cannot open a Unix socket: 433, no such device.)
    {.name = "EntryThatCannotBeOpened", .prepare = [] { MakeUnopenableEntry(InFolder("x.dll")); }, .error = 433,
     .shown = kNothing, .started = false, .named = "x.dll“ im Ordner des Suchprogramms kann nicht geprüft werden",
     .only = kWindowsOnly},
    {.name = "DllIsALink", .prepare = [] { fs::create_symlink(OutsideFile(), InFolder("x.dll")); },
     .error = kErrForeignEntry, .shown = kNothing, .started = false, .named = "x.dll“ im Ordner des "
     "Suchprogramms ist eine symbolische Verknüpfung", .only = kPosixOnly},
    // Whoever may change the program, a DLL beside it or the folder could
    // run code in every clerk's session: nothing starts. (Under Wine a mode
    // that lets others write is Everyone's right to write.)
    {.name = "ProgramWritableByEveryone", .prepare = [] { LetEveryoneWrite(ProgramPath()); },
     .error = kErrForeignEntry, .shown = kNothing, .started = false,
     .named = "Lief-adr.exe“ im Ordner des Suchprogramms mit dem Recht „Daten schreiben“ ändern."},
    {.name = "DllWritableByEveryone",
     .prepare = [] {
         WriteFileBytes(InFolder("helper.dll"), "MZ");
         LetEveryoneWrite(InFolder("helper.dll"));
     },
     .error = kErrForeignEntry, .shown = kNothing, .started = false,
     .named = "helper.dll“ im Ordner des Suchprogramms mit dem Recht „Daten schreiben“ ändern."},
    {.name = "FolderWritableByEveryone", .prepare = [] { LetEveryoneWrite(FibuDir()); }, .error = kErrForeignEntry,
     .shown = kNothing, .started = false, .named = "mit dem Recht „Dateien erstellen“ Einträge ablegen oder ändern."},
};

std::vector<Scenario> ThisPlatformsScenarios() {
    std::vector<Scenario> scenarios;
    for (const Scenario& s : kScenarios) {
        if (OnThisPlatform(s.only)) scenarios.push_back(s);
    }
    return scenarios;
}

class Run : public testing::TestWithParam<Scenario> {
protected:
    // A first lookup starts what lives as long as the process (the exchange
    // helper on POSIX) before any row counts the descriptors.
    static void SetUpTestSuite() {
        PrepareResponse(kScreen);
        Recorder first;
        first.LookUp(1);
    }
};

TEST_P(Run, Scenario) {
    const Scenario& s = GetParam();
    const std::string started = GiveThisProcessInheritables() + "folder=own\n";
    PrepareResponse(s.response, std::string(s.mode) + "\n");
    WriteFileBytes(OutsideFile(), "keep");
    if (s.prepare) s.prepare();
    if ((s.asRoot || s.diskFree >= 0) && !RunsAsRoot()) GTEST_SKIP() << "this row needs root";
    const SmallDisk disk(s.diskFree);
    const int handles = CountOpenHandles();
    Recorder window;
    LimitFileSize(s.fileSizeLimit);
    const Raised raised = Catch([&] { window.LookUp(1); });
    LimitFileSize(0);

    EXPECT_EQ(raised.number, s.error);
    EXPECT_NE(raised.text.find(s.named), std::string::npos) << raised.text;
    // The lock goes with the run, on the error road too.
    EXPECT_TRUE(FolderLockIsFree()) << ReadFileBytes("/proc/locks");
    EXPECT_EQ(window.shown, s.shown ? *s.shown : "before");
    EXPECT_EQ(window.shows, s.shown ? 1 : 0);
    EXPECT_EQ(FileExists(RequestFilePath()), (s.left & kIn) != 0);
    EXPECT_EQ(FileExists(ResponseFilePath()), (s.left & kOut) != 0);
    // What a run that ended well leaves behind holds nothing.
    if (s.error == 0) {
        EXPECT_EQ(ReadFileBytes(RequestFilePath()) + ReadFileBytes(ResponseFilePath()), "");
    }
    EXPECT_EQ(FileExists(InFolder("fake-report.txt")), s.started);
    if (s.started) {
        EXPECT_EQ(ReadFileBytes(InFolder("fake-request.bin")), "adr\r1");
        EXPECT_EQ(ReadFileBytes(InFolder("fake-report.txt")), started);
    }
    EXPECT_EQ(ReadFileBytes(InFolder("fake-tamper.txt")), s.tampered);
    EXPECT_EQ(ReadFileBytes(OutsideFile()), "keep");
    // Files renamed on their way to deletion are gone too.
    std::error_code noFolder;
    for (const auto& e : fs::directory_iterator(FibuDir(), noFolder)) EXPECT_NE(e.path().extension(), ".deleted");
    // None more; one less where a run that failed after its exchange files
    // were made ended the helper, which lets go of the lock.
    EXPECT_LE(CountOpenHandles(), handles);
    EXPECT_TRUE(NoChildLeft());
}

// What the lookup program started is waited for, and after two seconds the
// words name it; the next lookup does not meet it.
TEST(WhatItStarted, IsWaitedForAndNamed) {
    PrepareResponse(kScreen, "child-screen 2500\n");
    Recorder window;
    window.LookUp(1);
    EXPECT_EQ(window.shown, kBlock);
    EXPECT_EQ(window.FirstSpoken(), "Das Suchprogramm ist fertig, ein Programm, das es gestartet hat "
                                      "(„Lief-adr.exe“), läuft aber noch; die Suche läuft seit 2\u00A0Sekunden. "
                                      "(spoken)");
    // One that ends within a moment of its program, as part of that
    // program's ending, is not named. (Wine takes longer than that moment
    // to start the child.)
    if (OnThisPlatform(kPosixOnly)) {
        PrepareResponse(kScreen, "sleep-ms 300\nchild-sleep-ms 340\n");
        Recorder ending;
        ending.LookUp(1);
        for (const std::string& words : ending.notices) EXPECT_EQ(words.find("ist fertig"), std::string::npos) << words;
    }
    PrepareResponse(SampleScreen("Zweite GmbH"));
    Recorder next;
    next.LookUp(2);
    EXPECT_EQ(next.shown, SampleBlock("Zweite GmbH"));
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(Lookup, Run, testing::ValuesIn(ThisPlatformsScenarios()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
