// Which interpreter the kernel hands a program to, and the idle process
// that the Linux window keeps with it for a Windows lookup program only.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "support.h"
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
