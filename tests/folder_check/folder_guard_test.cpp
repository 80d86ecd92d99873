// Which entries on the way to the lookup folder and in it may stay when
// the lookup program is about to run: by owner, links and who may change
// them, from a Windows DACL or a Linux mode and ACL; and which names of
// the folder the check judges at all.

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
constexpr auto kAbove = Place::kAbove, kFolder_ = Place::kFolder, kInside = Place::kInside;

const TrustedAccounts kWindows = WindowsTrusted(kUser);
const TrustedAccounts kLinux = {"uid:0", "uid:1000", "gid:120"};  // root, the user, the helper's group

EntryFacts Owned(EntryKind kind, const char* owner, std::vector<AccessEntry> dacl = {}, std::uint32_t links = 1) {
    return {kind, owner, links, std::move(dacl)};
}

// Access ACLs as ParsePosixAcl gives them (tags: 1 owner, 2 user, 4 the
// owning group, 8 group, 16 mask, 32 others).
const std::vector<PosixAclEntry> kClerkWrites = {{1, 7, 0}, {2, 7, 1001}, {4, 5, 0}, {16, 7, 0}, {32, 5, 0}};
const std::vector<PosixAclEntry> kMaskedOff = {{1, 7, 0}, {2, 7, 1001}, {4, 7, 0}, {8, 7, 50}, {16, 5, 0}, {32, 5, 0}};
const std::vector<PosixAclEntry> kGroupWrites = {{1, 7, 0}, {4, 5, 0}, {8, 6, 50}, {16, 6, 0}, {32, 4, 0}};

struct EntryCase {
    const char* name;
    Place place;
    EntryFacts facts;
    Verdict verdict;
    const char* account = "";  // kTooWide: who may change it
    const char* right = "";    // kTooWide: the right named
    const TrustedAccounts* trusted = &kWindows;
};

const EntryCase kEntryCases[] = {
    {"ClerksDll", kInside, Owned(kFile, kClerk), Verdict::kForeignOwner},
    // An owner that could not be read is nobody's, not the user's.
    {"OwnerUnreadable", kInside, Owned(kFile, ""), Verdict::kForeignOwner},
    {"TrustedInstallersDll", kInside,
     Owned(kFile, "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"), Verdict::kMayStay},
    // Her own files can reach nobody but herself.
    {"UsersOwnFolder", kInside, Owned(kFolder, kUser, {{kAllow, kUser, kFull}}), Verdict::kMayStay},
    {"AdministratorsLookalike", kInside, Owned(kFile, "S-1-5-32-5440"), Verdict::kForeignOwner},
    // A file with another link elsewhere, whoever owns it; a folder's count
    // of links says nothing of the kind.
    {"AdministratorsDllWithASecondLink", kInside, Owned(kFile, kAdmins, {}, 2), Verdict::kMoreLinks},
    {"AdministratorsFolderWithLinks", kInside, Owned(kFolder, kAdmins, {}, 3), Verdict::kMayStay},
    // Who may change an administrator's entry.
    {"InheritedAuthenticatedUsersModify", kInside, Owned(kFile, kAdmins, {{kAllow, kAuthenticatedUsers, kModify}}),
     Verdict::kTooWide, kAuthenticatedUsers, "Daten schreiben"},
    {"ClerksWriteOnTheProgram", kInside, Owned(kFile, kAdmins, {{kAllow, kUsers, kReadExecute}, {kAllow, kClerk, 0x2}}),
     Verdict::kTooWide, kClerk, "Daten schreiben"},
    {"DenyBeforeAllowStillAllows", kInside,
     Owned(kFile, kAdmins, {{AccessEntry::kDeny, "S-1-1-0", kModify}, {kAllow, kUsers, kModify}}), Verdict::kTooWide,
     kUsers, "Daten schreiben"},
    {"GenericAll", kInside, Owned(kFile, kAdmins, {{kAllow, kUsers, 0x10000000}}), Verdict::kTooWide, kUsers, "Vollzugriff"},
    {"NullDacl", kInside, {kFile, kAdmins, 1, std::nullopt}, Verdict::kTooWide, "S-1-1-0", "Vollzugriff"},
    {"UnreadableEntry", kInside, Owned(kFile, kAdmins, {{AccessEntry::kUnreadable, "", 0}}), Verdict::kTooWide},
    {"FileWriteAttributes", kInside, Owned(kFile, kAdmins, {{kAllow, kUsers, 0x100}}), Verdict::kTooWide, kUsers,
     "Attribute schreiben"},
    {"FileWriteOwner", kInside, Owned(kFile, kAdmins, {{kAllow, kUsers, 0x80000}}), Verdict::kTooWide, kUsers,
     "Besitz übernehmen"},
    {"FileDeleteAlone", kInside, Owned(kFile, kAdmins, {{kAllow, kUsers, 0x10000}}), Verdict::kTooWide, kUsers,
     "Löschen"},
    {"TrustedMayChange", kInside, Owned(kFile, kAdmins, {{kAllow, kAdmins, kFull}, {kAllow, "S-1-5-18", kFull},
                                                          {kAllow, kUser, kModify}, {kAllow, kUsers, kReadExecute}}),
     Verdict::kMayStay},
    {"FolderUsersReadAndExecute", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, kReadExecute}}), Verdict::kMayStay},
    {"FolderInheritOnlyModify", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, kModify, true}}), Verdict::kMayStay},
    {"FolderAddFile", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x2}}), Verdict::kTooWide, kUsers, "Dateien erstellen"},
    {"FolderAddSubfolder", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x4}}), Verdict::kTooWide, kUsers, "Ordner erstellen"},
    {"FolderDeleteChild", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x40}}), Verdict::kTooWide, kUsers,
     "Unterordner und Dateien löschen"},
    {"FolderWriteAttributesIsNoChange", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x100}}), Verdict::kMayStay},
    // Data beside the program that clerks may write is not judged at all
    // (MayBeLoaded); the folder itself and the way to it are.
    {"FolderWithTheExchangeFilesRights", kFolder_, Owned(kFolder, kAdmins, {{kAllow, kUsers, kExchangeRights}}),
     Verdict::kTooWide, kUsers, "Dateien erstellen"},
    {"AboveUsersMayAddFolders", kAbove, Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x6}}), Verdict::kMayStay},
    {"AboveDeleteChild", kAbove, Owned(kFolder, kAdmins, {{kAllow, kUsers, 0x40}}), Verdict::kTooWide, kUsers,
     "Unterordner und Dateien löschen"},
    {"DllALink", kInside, {kFile, kAdmins, 1, std::vector<AccessEntry>{}, true}, Verdict::kLink},
    // Linux, by owner and mode: root, the user and the helper's group may
    // write; a group of members, or everybody, may not.
    {"ModeProgramEverybodyWrites", kInside, FactsFromMode(kFile, 0, 0, 0757, 1), Verdict::kTooWide, "S-1-1-0",
     "Daten schreiben", &kLinux},
    {"ModeFileAGroupWrites", kInside, FactsFromMode(kFile, 0, 50, 0664, 1), Verdict::kTooWide, "gid:50",
     "Daten schreiben", &kLinux},
    {"ModeFolderOfAnotherGroup", kFolder_, FactsFromMode(kFolder, 0, 50, 0775, 2), Verdict::kTooWide, "gid:50",
     "Dateien erstellen", &kLinux},
    {"ModeFolderEverybodyWrites", kFolder_, FactsFromMode(kFolder, 0, 120, 01777, 2), Verdict::kTooWide, "S-1-1-0",
     "Dateien erstellen", &kLinux},
    {"ModeUsersOwnFile", kInside, FactsFromMode(kFile, 1000, 1000, 0644, 1), Verdict::kMayStay, "", "", &kLinux},
    {"ModeFileOfAnotherUser", kInside, FactsFromMode(kFile, 1001, 1001, 0644, 1), Verdict::kForeignOwner, "", "", &kLinux},
    {"ModeFileWithTwoLinks", kInside, FactsFromMode(kFile, 0, 0, 0644, 2), Verdict::kMoreLinks, "", "", &kLinux},
    {"ModeSymbolicLink", kInside, FactsFromMode(kFile, 0, 0, 0120777, 1), Verdict::kLink, "", "", &kLinux},
    // Above the folder: a sticky folder lets nobody remove or rename
    // another's entry; a group that may write could.
    {"ModeAboveSticky", kAbove, FactsFromMode(kFolder, 0, 0, 041777, 9), Verdict::kMayStay, "", "", &kLinux},
    {"ModeAboveGroupWrites", kAbove, FactsFromMode(kFolder, 0, 50, 040775, 9), Verdict::kTooWide, "gid:50",
     "Unterordner und Dateien löschen", &kLinux},
    // POSIX ACLs: a named entry's write counts under the mask, and so does
    // the owning group's; the mode's group bits are then the mask.
    {"AclUserWritesTheFolder", kFolder_, FactsFromMode(kFolder, 0, 120, 040775, 2, kClerkWrites), Verdict::kTooWide,
     "uid:1001", "Dateien erstellen", &kLinux},
    {"AclMaskTakesTheWriteAway", kFolder_, FactsFromMode(kFolder, 0, 120, 040755, 2, kMaskedOff), Verdict::kMayStay, "",
     "", &kLinux},
    {"AclGroupWritesADll", kInside, FactsFromMode(kFile, 0, 120, 0100664, 1, kGroupWrites), Verdict::kTooWide, "gid:50",
     "Daten schreiben", &kLinux},
    {"AclOwningGroupWrites", kInside, FactsFromMode(kFile, 0, 50, 0100664, 1, kMaskedOff), Verdict::kMayStay, "", "",
     &kLinux},
    {"AclUnreadable", kInside, FactsFromMode(kFile, 0, 0, 0100644, 1, std::nullopt), Verdict::kTooWide, "", "", &kLinux},
};

class Entry : public testing::TestWithParam<EntryCase> {};

TEST_P(Entry, Verdict) {
    const EntryCase& c = GetParam();
    const Judgement judgement = JudgeEntry(c.place, c.facts, *c.trusted);
    EXPECT_EQ(judgement.verdict, c.verdict);
    EXPECT_EQ(judgement.account, c.account);
    if (judgement.verdict == Verdict::kTooWide && *c.right != '\0') {
        EXPECT_EQ(RightName(c.facts.kind, judgement.right), c.right);
    }
}

INSTANTIATE_TEST_SUITE_P(FolderGuard, Entry, testing::ValuesIn(kEntryCases),
                         [](const auto& row) { return std::string(row.param.name); });

// What Windows may load from the folder of "Lief-adr.exe", and what not.
const char* const kLoaded[] = {
    "Lief-adr.exe", "LIEF-ADR.EXE", "planted.dll", "Planted.DLL", "planted.dll.", "planted.dll . ", "x.ocx", "x.cpl",
    "x.drv", "x.sys", "x.ax", "x.acm", "other.exe", "x.com", "x.scr", "x.pif", "x.bat", "x.cmd", "x.mui",
    "Lief-adr.exe.manifest", "Lief-adr.exe.config", "Lief-adr.exe.local", "Lief-adr.exe.local\\x.dat",
    "lief-adr.exe.local/sub/deeper", "Lief-adr.exe.local.\\x.dat"};
const char* const kNotLoaded[] = {
    "in.txt", "out.txt", "lieferanten.dat", "daten", "daten\\kunden.dbf", "daten\\planted.dll", "Lief-adr.exe.bak",
    "Lief-adr.exe.localx", "Other.exe.local\\x.dat", "dll"};

TEST(FolderGuard, JudgesWhatWindowsMayLoad) {
    for (const char* name : kLoaded) EXPECT_TRUE(MayBeLoaded(name, "Lief-adr.exe")) << name;
    for (const char* name : kNotLoaded) EXPECT_FALSE(MayBeLoaded(name, "Lief-adr.exe")) << name;
}

// system.posix_acl_access as the kernel gives it: version 2, then per
// entry the tag and permissions (16 bits each) and the ID (32 bits).
TEST(PosixAcl, ReadsTheKernelsLayout) {
    using namespace std::string_literals;
    const std::string value = "\x02\0\0\0"s + "\x01\0\x07\0\xff\xff\xff\xff"s + "\x02\0\x06\0\xe9\x03\0\0"s;
    const auto entries = ParsePosixAcl(value);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2U);
    EXPECT_EQ((*entries)[0].tag, 1);
    EXPECT_EQ((*entries)[0].permissions, 7);
    EXPECT_EQ((*entries)[1].tag, 2);
    EXPECT_EQ((*entries)[1].permissions, 6);
    EXPECT_EQ((*entries)[1].id, 1001U);
    EXPECT_FALSE(ParsePosixAcl("\x01\0\0\0"s + "\x01\0\x07\0\0\0\0\0"s)) << "another version";
    EXPECT_FALSE(ParsePosixAcl(value.substr(0, 11))) << "cut short";
    EXPECT_FALSE(ParsePosixAcl("")) << "empty";
}

}  // namespace
}  // namespace keil::test
