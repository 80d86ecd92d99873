// What the folder check reads of a DACL, on DACLs built in memory with
// Windows' own ACL functions: the kinds of entry that a folder's DACL on a
// real machine holds, which Wine's own files never show.

#include "folder_check/dacl.windows.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace keil::test {
namespace {

constexpr const wchar_t* kUsers = L"S-1-5-32-545";

struct Ace {
    BYTE type;   // ACCESS_ALLOWED_ACE_TYPE, ACCESS_DENIED_ACE_TYPE, ...
    BYTE flags;  // INHERITED_ACE, INHERIT_ONLY_ACE, ...
};

struct DaclCase {
    const char* name;
    std::vector<Ace> aces;
    std::vector<AccessEntry> read;
};

// A DACL of `aces`, each for Users with the right to write data.
std::vector<std::byte> Built(const std::vector<Ace>& aces) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidW(kUsers, &sid)) std::abort();
    std::vector<std::byte> buffer(1024);
    auto* acl = reinterpret_cast<ACL*>(buffer.data());
    if (!::InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION_DS)) std::abort();
    for (const Ace& ace : aces) {
        BOOL added = FALSE;
        if (ace.type == ACCESS_ALLOWED_ACE_TYPE) {
            added = ::AddAccessAllowedAceEx(acl, ACL_REVISION_DS, ace.flags, FILE_WRITE_DATA, sid);
        } else if (ace.type == ACCESS_DENIED_ACE_TYPE) {
            added = ::AddAccessDeniedAceEx(acl, ACL_REVISION_DS, ace.flags, FILE_WRITE_DATA, sid);
        } else {
            // An object's or a condition's entry, whose type alone tells it
            // (Wine's AddAccessAllowedObjectAce fails).
            added = ::AddAccessAllowedAceEx(acl, ACL_REVISION_DS, ace.flags, FILE_WRITE_DATA, sid);
            void* last = nullptr;
            if (added && ::GetAce(acl, acl->AceCount - 1, &last)) static_cast<ACE_HEADER*>(last)->AceType = ace.type;
        }
        if (!added) std::abort();
    }
    ::LocalFree(sid);
    return buffer;
}

constexpr AccessEntry::Kind kAllow = AccessEntry::kAllow;
const std::string kUsersSid = "S-1-5-32-545";

const DaclCase kCases[] = {
    {"Empty", {}, {}},
    {"Allow", {{ACCESS_ALLOWED_ACE_TYPE, 0}}, {{kAllow, kUsersSid, FILE_WRITE_DATA, false}}},
    // Inherited from the folder above, it applies here.
    {"InheritedAllow", {{ACCESS_ALLOWED_ACE_TYPE, INHERITED_ACE | OBJECT_INHERIT_ACE}},
     {{kAllow, kUsersSid, FILE_WRITE_DATA, false}}},
    {"InheritOnlyAllow", {{ACCESS_ALLOWED_ACE_TYPE, INHERIT_ONLY_ACE | CONTAINER_INHERIT_ACE}},
     {{kAllow, kUsersSid, FILE_WRITE_DATA, true}}},
    {"DenyBeforeAllow", {{ACCESS_DENIED_ACE_TYPE, 0}, {ACCESS_ALLOWED_ACE_TYPE, 0}},
     {{AccessEntry::kDeny, "", 0, false}, {kAllow, kUsersSid, FILE_WRITE_DATA, false}}},
    {"ObjectAllow", {{ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0}}, {{AccessEntry::kUnreadable, "", 0, false}}},
    {"CallbackAllow", {{ACCESS_ALLOWED_CALLBACK_ACE_TYPE, 0}}, {{AccessEntry::kUnreadable, "", 0, false}}},
};

class Dacl : public testing::TestWithParam<DaclCase> {};

TEST_P(Dacl, ReadsAsWindowsAppliesIt) {
    std::vector<std::byte> built = Built(GetParam().aces);
    const auto read = DaclEntries(reinterpret_cast<const ACL*>(built.data()));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), GetParam().read.size());
    for (std::size_t i = 0; i < read->size(); ++i) {
        const AccessEntry& want = GetParam().read[i];
        EXPECT_EQ((*read)[i].kind, want.kind) << i;
        if (want.kind != kAllow) continue;
        EXPECT_EQ((*read)[i].account, want.account) << i;
        EXPECT_EQ((*read)[i].mask, want.mask) << i;
        EXPECT_EQ((*read)[i].inheritOnly, want.inheritOnly) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(FolderGuard, Dacl, testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

// No DACL at all is not an empty one: it lets everybody do everything.
TEST(Dacl, NoneAtAllIsNotEmpty) { EXPECT_FALSE(DaclEntries(nullptr)); }

}  // namespace
}  // namespace keil::test
