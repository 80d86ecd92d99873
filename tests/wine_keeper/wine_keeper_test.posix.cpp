// Which interpreter the kernel hands a program to, what a Windows lookup
// program is made ready with under Wine, and the idle process that the
// Linux window keeps with it for a Windows lookup program only.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "support.h"
#include "process/wine.posix.h"
#include "system/error.h"
#include "wine_keeper/wine_keeper.h"

namespace keil::test {
namespace {

namespace fs = std::filesystem;

const std::string kWine = "enabled\ninterpreter /usr/bin/wine\nflags: \noffset 0\nmagic 4d5a\n";

struct InterpreterCase {
    const char* name;
    std::string_view head;
    const char* program;
    std::vector<std::string> entries;
    const char* interpreter;
};

const InterpreterCase kInterpreterCases[] = {
    // A Windows program: the first entry that matches (FirstMatchingEntry),
    // and the kept process's test.
    {"NativeProgram", "\x7f" "ELF", "/c/fibu/Lief-adr.exe", {kWine}, ""},
    // Not one byte past the head is read, though it would match.
    {"ShorterThanTheMagic", std::string_view("MZ", 1), "x", {kWine}, ""},
    {"FirstByteDiffers", "NZ", "x", {kWine}, ""},
    {"Disabled", "MZ", "x", {"disabled\ninterpreter /usr/bin/wine\noffset 0\nmagic 4d5a\n"}, ""},
    {"MagicAtAnOffset", "MZPE", "x", {"enabled\ninterpreter /pe\noffset 2\nmagic 5045\n"}, "/pe"},
    {"MagicUnderAMask", "MZx", "x", {"enabled\ninterpreter /masked\noffset 0\nmagic 4d5a00\nmask ffff00\n"},
     "/masked"},
    {"ByExtension", "", "/c/fibu/Lief-adr.exe", {"enabled\ninterpreter /ext\nextension .exe\n"}, "/ext"},
    {"OtherExtension", "", "/c/fibu/Lief-adr.com", {"enabled\ninterpreter /ext\nextension .exe\n"}, ""},
    {"FirstMatchingEntry", "MZ", "x",
     {"enabled\ninterpreter /elf\noffset 0\nmagic 7f454c46\n", kWine, "enabled\ninterpreter /later\nmagic 4d\n"},
     "/usr/bin/wine"},
};

class Interpreter : public testing::TestWithParam<InterpreterCase> {};

TEST_P(Interpreter, IsTheKernels) {
    const InterpreterCase& c = GetParam();
    EXPECT_EQ(BinfmtInterpreter(c.head, c.program, c.entries), c.interpreter);
}

INSTANTIATE_TEST_SUITE_P(WineKeeper, Interpreter, testing::ValuesIn(kInterpreterCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The machine in a PE header: the real 32-bit and 64-bit demo builds, and
// heads that end early or are no Windows program's.
TEST(Wine, ReadsTheMachineOfAWindowsProgram) {
    EXPECT_EQ(PeMachine(ReadStart(KEIL_DEMO_WINDOWS_32, 4096)), 0x14c);
    EXPECT_EQ(PeMachine(ReadStart(KEIL_DEMO_WINDOWS, 4096)), 0x8664);
    const std::string head = ReadStart(KEIL_DEMO_WINDOWS_32, 4096);
    const std::size_t header = std::size_t{static_cast<std::uint8_t>(head[0x3c])} |
                               std::size_t{static_cast<std::uint8_t>(head[0x3d])} << 8;
    EXPECT_EQ(PeMachine(head.substr(0, header + 5)), 0) << "ends within the machine";
    EXPECT_EQ(PeMachine(head.substr(0, header + 6)), 0x14c) << "ends with the machine";
    EXPECT_EQ(PeMachine(head.substr(0, 0x3e)), 0) << "ends within the header's offset";
    EXPECT_EQ(PeMachine("\x7f" "ELF" + head.substr(4)), 0) << "not MZ";
    std::string noSignature = head;
    noSignature[header] = 'X';
    EXPECT_EQ(PeMachine(noSignature), 0) << "no PE signature";
}

// Before a Windows program starts under Wine: a 32-bit one without Wine's
// 32-bit part gives the German error that names the package; C:\fibu of
// the prefix is made to lead to the lookup folder, and something else
// there is named and stays.
TEST(Wine, PreparesTheStartOfAWindowsProgram) {
    const fs::path scratch = fs::path(FibuDir()).parent_path().parent_path() / "wine-prepare";
    fs::remove_all(scratch);
    fs::create_directories(scratch / "binfmt");
    fs::create_directories(scratch / "folder");
    WriteFileBytes((scratch / "binfmt" / "status").string(), "enabled\n");
    WriteFileBytes((scratch / "binfmt" / "wine").string(), kWine);
    const std::string folder = (scratch / "folder").string() + "/";
    const WinePlaces noWine32{(scratch / "binfmt").string(), (scratch / "no-wine32").string()};
    const WinePlaces withWine32{(scratch / "binfmt").string(), "/bin/sh"};
    const std::string prefix = (scratch / "prefix").string();
    const auto raised = [&](const std::string& program, const WinePlaces& places) {
        return Catch([&] { PrepareForWine(program, folder, prefix, places); });
    };

    const Raised missing = raised(KEIL_DEMO_WINDOWS_32, noWine32);
    EXPECT_EQ(missing.number, kErrNoWine32);
    EXPECT_NE(missing.text.find("„apt-get install wine32:i386“"), std::string::npos) << missing.text;
    EXPECT_NE(missing.text.find("„dpkg --add-architecture i386“"), std::string::npos) << missing.text;
    EXPECT_FALSE(fs::exists(scratch / "prefix")) << "nothing made for a program that does not start";
    EXPECT_EQ(raised(KEIL_DEMO_WINDOWS, noWine32).number, 0) << "a 64-bit program needs no 32-bit part";
    EXPECT_EQ(fs::read_symlink(scratch / "prefix/drive_c/fibu"), scratch / "folder");
    EXPECT_EQ(raised(KEIL_DEMO_WINDOWS_32, withWine32).number, 0) << "made already";

    fs::remove(scratch / "prefix/drive_c/fibu");
    fs::create_directory(scratch / "prefix/drive_c/fibu");
    WriteFileBytes((scratch / "prefix/drive_c/fibu/kunden.dat").string(), "ihre");
    const Raised other = raised(KEIL_DEMO_WINDOWS, withWine32);
    EXPECT_EQ(other.number, kErrOtherDriveFolder);
    EXPECT_NE(other.text.find(Quoted((scratch / "prefix/drive_c/fibu").string())), std::string::npos) << other.text;
    EXPECT_EQ(ReadFileBytes((scratch / "prefix/drive_c/fibu/kunden.dat").string()), "ihre");
    // Not handed to Wine: nothing is looked at.
    fs::remove(scratch / "binfmt" / "wine");
    EXPECT_EQ(raised(KEIL_DEMO_WINDOWS_32, noWine32).number, 0);
    fs::remove_all(scratch);
}

// A kept process starts for a Windows program only, with the command
// interpreter and nothing of this process but its input, and ends when the
// keeper goes. A start that fails is not reported.
TEST(WineKeeper, KeepsOneProcessForAWindowsProgramOnly) {
    const fs::path folder = fs::path(FibuDir()) / "binfmt";
    const std::string kStandIn = "enabled\ninterpreter " KEIL_STAND_IN_WINE "\noffset 0\nmagic 4d5a\n";
    const struct {
        const char* name;
        std::string head;
        const char* status;
        std::string entry;
        bool kept;
    } kCases[] = {
        {"WindowsProgram", "MZ\x90", "enabled", kStandIn, true},
        {"NativeProgram", "\x7f" "ELF", "enabled", kStandIn, false},
        {"HandlersDisabled", "MZ\x90", "disabled", kStandIn, false},
        {"InterpreterMissing", "MZ\x90", "enabled", "enabled\ninterpreter /nowhere/wine\nmagic 4d5a\n", false},
        {"EntryUnreadable", "MZ\x90", "enabled", "enabled\ninterpreter /x\noffset x\nmagic 4d5a\n", false},
        // A named pipe at the program's name holds nothing up.
        {"ProgramIsANamedPipe", "", "enabled", kStandIn, false},
    };
    const std::string report = (fs::path(FibuDir()).parent_path().parent_path() / "stand-in-wine.txt").string();
    ::setenv("KEIL_STAND_IN_REPORT", report.c_str(), 1);
    for (const auto& c : kCases) {
        RemoveFolder();
        fs::create_directories(folder);
        WriteFileBytes((folder / "status").string(), std::string(c.status) + "\n");
        WriteFileBytes((folder / "wine").string(), c.entry);
        if (c.head.empty()) {
            MakeNamedPipe(InFolder("Lief-adr.exe"));
        } else {
            WriteFileBytes(InFolder("Lief-adr.exe"), c.head);
        }
        int pid = 0;
        std::string pipes;
        {
            const WineKeeper keeper(InFolder("Lief-adr.exe"), folder.string());
            pid = keeper.pid();
            EXPECT_EQ(pid != 0, c.kept) << c.name;
            if (pid == 0) continue;
            for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
                std::error_code gone;
                const std::string link = fs::read_symlink(fd.path(), gone).string();
                if (link.starts_with("pipe:")) pipes += link + "\n";
            }
        }
        int status = -1;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid) << c.name;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name;
        // The command interpreter, nothing of this process but its input,
        // which is a pipe whose other end this process held.
        const std::string started = ReadFileBytes(report);
        const std::string head = KEIL_STAND_IN_WINE "|cmd|\nfds=3\nstdin=pipe:";
        EXPECT_TRUE(started.starts_with(head) && pipes.find(started.substr(head.size() - 5)) != std::string::npos)
            << started;
    }
}

}  // namespace
}  // namespace keil::test
