// Which entries of the lookup folder may stay when the lookup program is
// about to run: by owner, and by name for the run's own files.

#include <gtest/gtest.h>

#include "folder_guard.h"

namespace keil::test {
namespace {

constexpr const char* kClerk = "S-1-5-21-1-2-3-1001";
constexpr const char* kFolderOwner = "S-1-5-21-1-2-3-500";

struct EntryCase {
    const char* name;
    const char* entry;
    EntryKind kind = EntryKind::kFile;
    const char* owner = kClerk;
    bool mayStay = false;
    const char* folderOwner = kFolderOwner;
};

const EntryCase kEntryCases[] = {
    {.name = "ClerksDll", .entry = "planted.dll"},
    {.name = "ClerksFolder", .entry = "Lief-adr.exe.local", .kind = EntryKind::kFolder},
    {.name = "OwnerUnreadable", .entry = "planted.dll", .owner = ""},
    {.name = "OwnerUnreadableFolderOwnerToo", .entry = "planted.dll", .owner = "", .folderOwner = ""},
    {.name = "AdministratorsDll", .entry = "planted.dll", .owner = "S-1-5-32-544", .mayStay = true},
    {.name = "SystemsDll", .entry = "planted.dll", .owner = "S-1-5-18", .mayStay = true},
    {.name = "TrustedInstallersDll", .entry = "planted.dll",
     .owner = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", .mayStay = true},
    {.name = "FolderOwnersDll", .entry = "planted.dll", .owner = kFolderOwner, .mayStay = true},
    {.name = "AdministratorsLookalike", .entry = "planted.dll", .owner = "S-1-5-32-5440"},
    // The run's own files belong to whichever clerk made them.
    {.name = "Request", .entry = "in.txt", .mayStay = true},
    {.name = "ResponseInCapitals", .entry = "OUT.TXT", .mayStay = true},
    {.name = "Program", .entry = "lief-ADR.exe", .mayStay = true},
    {.name = "RequestRenamedForDeletion", .entry = "in.txt.4242-123456789-1.deleted", .mayStay = true},
    {.name = "ResponseRenamedForDeletion", .entry = "Out.Txt.1-2-3.DELETED", .mayStay = true},
    {.name = "RequestAsAFolder", .entry = "in.txt", .kind = EntryKind::kFolder},
    {.name = "ProgramAsAFolder", .entry = "Lief-adr.exe", .kind = EntryKind::kFolder},
    {.name = "DeletionRenameAsAFolder", .entry = "in.txt.1-2-3.deleted", .kind = EntryKind::kFolder},
    {.name = "RequestBelow", .entry = "sub\\in.txt"},
    {.name = "RenameWithoutNumbers", .entry = "in.txt.deleted"},
    {.name = "RenameWithFourNumbers", .entry = "in.txt.1-2-3-4.deleted"},
    {.name = "RenameWithALetter", .entry = "in.txt.1-2-x.deleted"},
    {.name = "RenameWithAnEmptyNumber", .entry = "in.txt.1--3.deleted"},
    {.name = "RenameWithoutDot", .entry = "in.txtx1-2-3.deleted"},
    {.name = "RenameOfAnotherFile", .entry = "planted.dll.1-2-3.deleted"},
    {.name = "RenameAsADll", .entry = "in.txt.1-2-3.dll"},
    {.name = "ProgramWithMore", .entry = "Lief-adr.exe.dll"},
};

class Entry : public testing::TestWithParam<EntryCase> {};

TEST_P(Entry, MayStayOrNot) {
    const EntryCase& c = GetParam();
    EXPECT_EQ(EntryMayStay(c.entry, c.kind, c.owner, c.folderOwner), c.mayStay);
}

INSTANTIATE_TEST_SUITE_P(FolderGuard, Entry, testing::ValuesIn(kEntryCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
