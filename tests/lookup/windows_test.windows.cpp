// What only Windows shows: entries that another clerk placed in the lookup
// folder, and the folder lock's name taken by somebody else.

#include <gtest/gtest.h>

#include "error.h"
#include "folder_lock.windows.h"
#include "support.h"
#include "windows_support.windows.h"

#include <sddl.h>

namespace keil::test {
namespace {

namespace fs = std::filesystem;

// A file the clerk made beside the lookup folder and gave Users' rights to,
// which she then moves in: it keeps its owner, another user (Wine shows
// another Unix user's file as S-1-5-7).
std::string PreparedAbove(const std::string& name, bool foreign = true) {
    const std::string path = (fs::path(FibuDir()).parent_path().parent_path() / name).string();
    fs::remove(path);
    WriteFileBytes(path, "MZ");
    if (foreign) GiveToAnotherUser(path);
    return path;
}

void PlantInFolder(const std::string& name, bool foreign = true) {
    fs::create_directories(fs::path(InFolder(name)).parent_path());
    fs::rename(PreparedAbove("planted.dll", foreign), InFolder(name));
}

struct GuardCase {
    const char* name;
    void (*prepare)() = nullptr;
    const char* mode = "";     // further instructions to the fake lookup program
    std::int32_t error = 0;    // raised, or 0 when the block is shown
    const char* named = "";    // in the error's text
    bool started = true;       // whether the lookup program ran
    const char* left = "";     // a file in the folder the run must not delete
};

const GuardCase kGuardCases[] = {
    {.name = "OwnFileBesideTheProgram", .prepare = [] { PlantInFolder("planted.dll", false); }, .left = "planted.dll"},
    // Refused before anything starts or goes, leftovers included.
    {.name = "ForeignFileBesideTheProgram",
     .prepare = [] { PlantInFolder("planted.dll"); WriteFileBytes(RequestFilePath(), "alt"); },
     .error = kErrForeignEntry, .named = "planted.dll“", .started = false, .left = "in.txt"},
    {.name = "ForeignFileBelow", .prepare = [] { PlantInFolder("sub\\planted.dll"); }, .error = kErrForeignEntry,
     .named = "sub\\planted.dll“", .started = false, .left = "sub\\planted.dll"},
    {.name = "ForeignManifestOfTheProgram", .prepare = [] { PlantInFolder("Lief-adr.exe.manifest"); },
     .error = kErrForeignEntry, .named = "Lief-adr.exe.manifest“", .started = false},
    // Moved in while the lookup program runs: its block is not shown.
    {.name = "ForeignFileMovedInDuringTheRun", .prepare = [] { PreparedAbove("planted.dll"); },
     .mode = "move-in planted.dll\nsleep-ms 300\n", .error = kErrForeignEntry, .named = "planted.dll“ erschienen, der",
     .left = "planted.dll"},
    {.name = "ForeignFileCameAndWentDuringTheRun", .prepare = [] { PreparedAbove("planted.dll"); },
     .mode = "move-in planted.dll\nsleep-ms 300\nmove-out planted.dll\n", .error = kErrForeignEntry,
     .named = "planted.dll“ erschienen und wieder verschwunden"},
    {.name = "OwnFileMovedInDuringTheRun", .prepare = [] { PreparedAbove("planted.dll", false); },
     .mode = "move-in planted.dll\nsleep-ms 300\n"},
    // More changes than the watch holds: what came cannot be told.
    {.name = "ManyChangesDuringTheRun", .mode = "touch 4000\nsleep-ms 300\n", .error = kErrForeignEntry,
     .named = "so viel geändert"},
};

class Guard : public testing::TestWithParam<GuardCase> {};

TEST_P(Guard, Lookup) {
    const GuardCase& c = GetParam();
    PrepareResponse(SampleScreen(), c.mode);
    if (c.prepare) c.prepare();
    RecordingWindow window;
    std::int32_t error = 0;
    std::string text;
    try {
        cmdRecord1_Click(window);
    } catch (const Error& e) {
        error = e.number();
        text = e.text();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_NE(text.find(c.named), std::string::npos) << text;
    EXPECT_EQ(window.shown, c.error == 0 ? Widen(SampleBlock()) : u"before");
    EXPECT_EQ(window.log, c.error == 0 ? kCompleteRun : kFailedRun);
    EXPECT_EQ(FileExists(InFolder("fake-report.txt")), c.started);
    EXPECT_TRUE(*c.left == '\0' || FileExists(InFolder(c.left))) << c.left;
}

INSTANTIATE_TEST_SUITE_P(Run, Guard, testing::ValuesIn(kGuardCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Somebody made the lock's name first, as a mutex that nobody else may
// wait on or as an object of another kind.
struct SquatCase {
    const char* name;
    HANDLE (*squat)(const std::wstring& name);
};

const SquatCase kSquatCases[] = {
    {"MutexDenyingAll",
     [](const std::wstring& name) {
         PSECURITY_DESCRIPTOR denyAll = nullptr;
         ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &denyAll, nullptr);
         SECURITY_ATTRIBUTES attributes{sizeof attributes, denyAll, FALSE};
         const HANDLE mutex = ::CreateMutexW(&attributes, TRUE, name.c_str());
         ::LocalFree(denyAll);
         return mutex;
     }},
    {"Event", [](const std::wstring& name) { return ::CreateEventW(nullptr, TRUE, FALSE, name.c_str()); }},
};

class Squat : public testing::TestWithParam<SquatCase> {};

TEST_P(Squat, IsNamedInTheError) {
    PrepareResponse(SampleScreen());
    const UniqueHandle squatted(GetParam().squat(FolderLockName(FibuDir())));
    ASSERT_TRUE(squatted.valid());
    RecordingWindow window;
    try {
        cmdRecord1_Click(window);
        ADD_FAILURE() << "looked up";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrLockTaken);
        EXPECT_NE(std::string(e.text()).find("Ein anderes Programm hält die Sperre"), std::string::npos) << e.text();
    }
    EXPECT_FALSE(FileExists(InFolder("fake-report.txt")));
}

INSTANTIATE_TEST_SUITE_P(Lock, Squat, testing::ValuesIn(kSquatCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
