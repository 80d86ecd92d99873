// Which entries of the lookup folder may stay when the lookup program is
// about to run: by owner, links and who may change them, from a Windows
// DACL or a Linux mode, and by name for the run's own files.

#include <gtest/gtest.h>

#include "folder_check/folder_guard.h"

namespace keil::test {
namespace {

constexpr const char* kClerk = "S-1-5-21-1-2-3-1001";
constexpr const char* kUser = "S-1-5-21-1-2-3-1002";
constexpr const char* kAdmins = "S-1-5-32-544";
constexpr const char* kUsers = "S-1-5-32-545";
constexpr const char* kAuthenticatedUsers = "S-1-5-11";
// Windows' access masks: Modify, read and execute, full control, and what
// the set-up grants Users on an exchange file (RD, WD, RA, S).
constexpr std::uint32_t kModify = 0x1301BF, kReadExecute = 0x1200A9, kFull = 0x1F01FF, kExchangeRights = 0x100083;
constexpr auto kAllow = AccessEntry::kAllow;
constexpr auto kFile = EntryKind::kFile;
constexpr auto kFolder = EntryKind::kFolder;

const TrustedAccounts kWindows = WindowsTrusted(kUser);
const TrustedAccounts kLinux = {"uid:0", "uid:1000", "gid:120"};  // root, the user, the helper's group

EntryFacts Owned(EntryKind kind, const char* owner, std::vector<AccessEntry> dacl = {}, std::uint32_t links = 1) {
    return {kind, owner, links, std::move(dacl)};
}

struct EntryCase {
    const char* name;
    const char* entry;
    EntryFacts facts;
    Verdict verdict;
    const char* account = "";  // kTooWide: who may change it
    const char* right = "";    // kTooWide: the right named
    const TrustedAccounts* trusted = &kWindows;
};

const EntryCase kEntryCases[] = {
    {"ClerksDll", "planted.dll", Owned(kFile, kClerk), Verdict::kForeignOwner},
    // An owner that could not be read is nobody's, not the user's.
    {"OwnerUnreadable", "planted.dll", Owned(kFile, ""), Verdict::kForeignOwner},
    {"AdministratorsDll", "planted.dll", Owned(kFile, kAdmins), Verdict::kMayStay},
    {"SystemsDll", "planted.dll", Owned(kFile, "S-1-5-18"), Verdict::kMayStay},
    {"TrustedInstallersDll", "planted.dll",
     Owned(kFile, "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"), Verdict::kMayStay},
    // Her own files can reach nobody but herself.
    {"UsersOwnFolder", "sub", Owned(kFolder, kUser, {{kAllow, kUser, kFull}}), Verdict::kMayStay},
    {"AdministratorsLookalike", "planted.dll", Owned(kFile, "S-1-5-32-5440"), Verdict::kForeignOwner},
    {"ProgramOfAClerk", "lief-ADR.exe", Owned(kFile, kClerk), Verdict::kForeignOwner},
    // A file with another link elsewhere, whoever owns it; a folder's count
    // of links says nothing of the kind.
    {"AdministratorsDllWithASecondLink", "planted.dll", Owned(kFile, kAdmins, {}, 2), Verdict::kMoreLinks},
    {"AdministratorsFolderWithLinks", "sub", Owned(kFolder, kAdmins, {}, 3), Verdict::kMayStay},
    // Who may change an administrator's entry.
    {"InheritedAuthenticatedUsersModify", "Lief-adr.exe", Owned(kFile, kAdmins, {{kAllow, kAuthenticatedUsers, kModify}}),
     Verdict::kTooWide, kAuthenticatedUsers, "Daten schreiben"},
    {"ClerksWriteOnTheProgram", "Lief-adr.exe", Owned(kFile, kAdmins, {{kAllow, kUsers, kReadExecute}, {kAllow, kClerk, 0x2}}),
     Verdict::kTooWide, kClerk, "Daten schreiben"},
    {"DenyBeforeAllowStillAllows", "x.dll",
     Owned(kFile, kAdmins, {{AccessEntry::kDeny, "S-1-1-0", kModify}, {kAllow, kUsers, kModify}}), Verdict::kTooWide,
     kUsers, "Daten schreiben"},
    {"GenericAll", "x.dll", Owned(kFile, kAdmins, {{kAllow, kUsers, 0x10000000}}), Verdict::kTooWide, kUsers, "Vollzugriff"},
    {"NullDacl", "x.dll", {kFile, kAdmins, 1, std::nullopt}, Verdict::kTooWide, "S-1-1-0", "Vollzugriff"},
    {"UnreadableEntry", "x.dll", Owned(kFile, kAdmins, {{AccessEntry::kUnreadable, "", 0}}), Verdict::kTooWide},
    {"FileWriteAttributes", "x.dll", Owned(kFile, kAdmins, {{kAllow, kUsers, 0x100}}), Verdict::kTooWide, kUsers,
     "Attribute schreiben"},
    {"FileWriteOwner", "x.dll", Owned(kFile, kAdmins, {{kAllow, kUsers, 0x80000}}), Verdict::kTooWide, kUsers,
     "Besitz übernehmen"},
    {"FileDeleteAlone", "x.dll", Owned(kFile, kAdmins, {{kAllow, kUsers, 0x10000}}), Verdict::kTooWide, kUsers,
     "Löschen"},
    {"TrustedMayChange", "x.dll", Owned(kFile, kAdmins, {{kAllow, kAdmins, kFull}, {kAllow, "S-1-5-18", kFull},
                                                          {kAllow, kUser, kModify}, {kAllow, kUsers, kReadExecute}}),
     Verdict::kMayStay},
    {"FolderUsersReadAndExecute", "", Owned(kFolder, kAdmins, {{kAllow, kUsers, kReadExecute}}), Verdict::kMayStay},
    {"FolderInheritOnlyModify", "", Owned(kFolder, kAdmins, {{kAllow, kUsers, kModify, true}}), Verdict::kMayStay},
    {"FolderAddFile", "", Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x2}}), Verdict::kTooWide, kUsers, "Dateien erstellen"},
    {"FolderAddSubfolder", "", Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x4}}), Verdict::kTooWide, kUsers, "Ordner erstellen"},
    {"FolderDeleteChild", "", Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x40}}), Verdict::kTooWide, kUsers,
     "Unterordner und Dateien löschen"},
    {"FolderWriteAttributesIsNoChange", "", Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x100}}), Verdict::kMayStay},
    // The run's exchange files belong to whoever made them, and the run
    // checks them itself; any other file with their rights is refused.
    {"Request", "in.txt", Owned(kFile, kClerk, {{kAllow, kUsers, kExchangeRights}}), Verdict::kMayStay},
    {"FileWithTheExchangeFilesRights", "data.txt", Owned(kFile, kAdmins, {{kAllow, kUsers, kExchangeRights}}),
     Verdict::kTooWide, kUsers, "Daten schreiben"},
    {"ResponseInCapitals", "OUT.TXT", Owned(kFile, kClerk, {}, 2), Verdict::kMayStay},
    {"RequestRenamedForDeletion", "in.txt.4242-123456789-1.deleted", Owned(kFile, kClerk), Verdict::kMayStay},
    {"ResponseRenamedForDeletion", "Out.Txt.1-2-3.DELETED", Owned(kFile, kClerk), Verdict::kMayStay},
    {"RequestAsAFolder", "in.txt", Owned(kFolder, kClerk), Verdict::kForeignOwner},
    {"DeletionRenameAsAFolder", "in.txt.1-2-3.deleted", Owned(kFolder, kClerk), Verdict::kForeignOwner},
    {"RequestBelow", "sub\\in.txt", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameWithoutNumbers", "in.txt.deleted", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameWithFourNumbers", "in.txt.1-2-3-4.deleted", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameWithALetter", "in.txt.1-2-x.deleted", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameWithAnEmptyNumber", "in.txt.1--3.deleted", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameWithoutDot", "in.txtx1-2-3.deleted", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameOfAnotherFileOfTheSameLength", "ab.txt.1-2-3.deleted", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RenameAsADll", "in.txt.1-2-3.dll", Owned(kFile, kClerk), Verdict::kForeignOwner},
    {"RequestWithMore", "in.txt.dll", Owned(kFile, kClerk), Verdict::kForeignOwner},
    // Linux, by owner and mode: root, the user and the helper's group may
    // write; a group of members, or everybody, may not.
    {"ModeRootsProgram", "Lief-adr.exe", FactsFromMode(kFile, 0, 0, 0755, 1), Verdict::kMayStay, "", "", &kLinux},
    {"ModeProgramEverybodyWrites", "Lief-adr.exe", FactsFromMode(kFile, 0, 0, 0757, 1), Verdict::kTooWide, "S-1-1-0",
     "Daten schreiben", &kLinux},
    {"ModeFileAGroupWrites", "x.so", FactsFromMode(kFile, 0, 50, 0664, 1), Verdict::kTooWide, "gid:50",
     "Daten schreiben", &kLinux},
    {"ModeFolderOfTheHelpersGroup", "", FactsFromMode(kFolder, 0, 120, 0775, 2), Verdict::kMayStay, "", "", &kLinux},
    {"ModeFolderOfAnotherGroup", "", FactsFromMode(kFolder, 0, 50, 0775, 2), Verdict::kTooWide, "gid:50",
     "Dateien erstellen", &kLinux},
    {"ModeFolderEverybodyWrites", "", FactsFromMode(kFolder, 0, 120, 01777, 2), Verdict::kTooWide, "S-1-1-0",
     "Dateien erstellen", &kLinux},
    {"ModeUsersOwnFile", "x.so", FactsFromMode(kFile, 1000, 1000, 0644, 1), Verdict::kMayStay, "", "", &kLinux},
    {"ModeFileOfAnotherUser", "x.so", FactsFromMode(kFile, 1001, 1001, 0644, 1), Verdict::kForeignOwner, "", "", &kLinux},
    {"ModeFileWithTwoLinks", "x.so", FactsFromMode(kFile, 0, 0, 0644, 2), Verdict::kMoreLinks, "", "", &kLinux},
    {"ModeLeftoverOfAnotherClerk", "out.txt", FactsFromMode(kFile, 1001, 1001, 0600, 1), Verdict::kMayStay, "", "",
     &kLinux},
};

class Entry : public testing::TestWithParam<EntryCase> {};

TEST_P(Entry, Verdict) {
    const EntryCase& c = GetParam();
    const Judgement judgement = JudgeEntry(c.entry, c.facts, *c.trusted);
    EXPECT_EQ(judgement.verdict, c.verdict);
    EXPECT_EQ(judgement.account, c.account);
    if (judgement.verdict == Verdict::kTooWide && *c.right != '\0') {
        EXPECT_EQ(RightName(c.facts.kind, judgement.right), c.right);
    }
}

INSTANTIATE_TEST_SUITE_P(FolderGuard, Entry, testing::ValuesIn(kEntryCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
