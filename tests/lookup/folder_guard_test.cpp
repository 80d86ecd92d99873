// Which entries of the lookup folder may stay when the lookup program is
// about to run: by owner and links, and by name for the run's own files.

#include <gtest/gtest.h>

#include "folder_guard.h"

namespace keil::test {
namespace {

constexpr const char* kClerk = "S-1-5-21-1-2-3-1001";
constexpr const char* kUser = "S-1-5-21-1-2-3-1002";

struct EntryCase {
    const char* name;
    const char* entry;
    EntryKind kind = EntryKind::kFile;
    const char* owner = kClerk;
    Verdict verdict = Verdict::kForeignOwner;
    std::uint32_t links = 1;
    const char* user = kUser;
};

const EntryCase kEntryCases[] = {
    {.name = "ClerksDll", .entry = "planted.dll"},
    // An owner that could not be read is nobody's, not the user's.
    {.name = "OwnerUnreadable", .entry = "planted.dll", .owner = "", .user = ""},
    {.name = "AdministratorsDll", .entry = "planted.dll", .owner = "S-1-5-32-544", .verdict = Verdict::kMayStay},
    {.name = "SystemsDll", .entry = "planted.dll", .owner = "S-1-5-18", .verdict = Verdict::kMayStay},
    {.name = "TrustedInstallersDll", .entry = "planted.dll",
     .owner = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", .verdict = Verdict::kMayStay},
    // Her own files can reach nobody but herself.
    {.name = "UsersOwnDll", .entry = "planted.dll", .owner = kUser, .verdict = Verdict::kMayStay},
    {.name = "UsersOwnFolder", .entry = "sub", .kind = EntryKind::kFolder, .owner = kUser,
     .verdict = Verdict::kMayStay},
    {.name = "AdministratorsLookalike", .entry = "planted.dll", .owner = "S-1-5-32-5440"},
    // The lookup program is judged like any other file.
    {.name = "ProgramOfAClerk", .entry = "lief-ADR.exe"},
    // A file with another link elsewhere may be written there, whoever
    // owns it; a folder's count of links says nothing of the kind.
    {.name = "AdministratorsDllWithASecondLink", .entry = "planted.dll", .owner = "S-1-5-32-544",
     .verdict = Verdict::kMoreLinks, .links = 2},
    {.name = "UsersOwnDllWithASecondLink", .entry = "planted.dll", .owner = kUser, .verdict = Verdict::kMoreLinks,
     .links = 2},
    {.name = "AdministratorsFolderWithLinks", .entry = "sub", .kind = EntryKind::kFolder, .owner = "S-1-5-32-544",
     .verdict = Verdict::kMayStay, .links = 3},
    // The run's exchange files belong to whoever made them, and the run
    // checks them itself.
    {.name = "Request", .entry = "in.txt", .verdict = Verdict::kMayStay},
    {.name = "ResponseInCapitals", .entry = "OUT.TXT", .verdict = Verdict::kMayStay, .links = 2},
    {.name = "RequestRenamedForDeletion", .entry = "in.txt.4242-123456789-1.deleted", .verdict = Verdict::kMayStay},
    {.name = "ResponseRenamedForDeletion", .entry = "Out.Txt.1-2-3.DELETED", .verdict = Verdict::kMayStay},
    {.name = "RequestAsAFolder", .entry = "in.txt", .kind = EntryKind::kFolder},
    {.name = "DeletionRenameAsAFolder", .entry = "in.txt.1-2-3.deleted", .kind = EntryKind::kFolder},
    {.name = "RequestBelow", .entry = "sub\\in.txt"},
    {.name = "RenameWithoutNumbers", .entry = "in.txt.deleted"},
    {.name = "RenameWithFourNumbers", .entry = "in.txt.1-2-3-4.deleted"},
    {.name = "RenameWithALetter", .entry = "in.txt.1-2-x.deleted"},
    {.name = "RenameWithAnEmptyNumber", .entry = "in.txt.1--3.deleted"},
    {.name = "RenameWithoutDot", .entry = "in.txtx1-2-3.deleted"},
    {.name = "RenameOfAnotherFileOfTheSameLength", .entry = "ab.txt.1-2-3.deleted"},
    {.name = "RenameAsADll", .entry = "in.txt.1-2-3.dll"},
    {.name = "RequestWithMore", .entry = "in.txt.dll"},
};

class Entry : public testing::TestWithParam<EntryCase> {};

TEST_P(Entry, Verdict) {
    const EntryCase& c = GetParam();
    EXPECT_EQ(JudgeEntry(c.entry, c.kind, c.owner, c.user, c.links), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(FolderGuard, Entry, testing::ValuesIn(kEntryCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
