// What the folder check reads of a DACL, on DACLs built in memory with
// Windows' own ACL functions: the kinds of entry that a folder's DACL on a
// real machine holds, which Wine's own files never show.

#include "folder_check/dacl.windows.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace keil::test {
namespace {

struct Ace {
    BYTE type;   // ACCESS_ALLOWED_ACE_TYPE, ACCESS_DENIED_ACE_TYPE, ...
    BYTE flags;  // INHERITED_ACE, INHERIT_ONLY_ACE, ...
};

// A DACL of `aces`, each for Users with the right to write data. An
// object's or a condition's entry, which its type alone tells, is laid out
// as an allowing one (Wine's AddAccessAllowedObjectAce fails).
std::vector<std::byte> Built(const std::vector<Ace>& aces) {
    PSID sid = nullptr;
    std::vector<std::byte> buffer(1024);
    auto* acl = reinterpret_cast<ACL*>(buffer.data());
    if (!::ConvertStringSidToSidW(L"S-1-5-32-545", &sid) ||
        !::InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION_DS)) {
        std::abort();
    }
    for (const Ace& ace : aces) {
        void* added = nullptr;
        if (!(ace.type == ACCESS_DENIED_ACE_TYPE
                  ? ::AddAccessDeniedAceEx(acl, ACL_REVISION_DS, ace.flags, FILE_WRITE_DATA, sid)
                  : ::AddAccessAllowedAceEx(acl, ACL_REVISION_DS, ace.flags, FILE_WRITE_DATA, sid)) ||
            !::GetAce(acl, acl->AceCount - 1, &added)) {
            std::abort();
        }
        static_cast<ACE_HEADER*>(added)->AceType = ace.type;
    }
    ::LocalFree(sid);
    return buffer;
}

struct DaclCase {
    const char* name;
    std::vector<Ace> aces;
    std::vector<AccessEntry> read;  // an allowing entry's account, mask and inheritance count
};

constexpr AccessEntry::Kind kAllow = AccessEntry::kAllow;
const std::string kUsers = "S-1-5-32-545";

const DaclCase kCases[] = {
    {"Empty", {}, {}},
    {"Allow", {{ACCESS_ALLOWED_ACE_TYPE, 0}}, {{kAllow, kUsers, FILE_WRITE_DATA, false}}},
    // Inherited from the folder above, it applies here.
    {"InheritedAllow", {{ACCESS_ALLOWED_ACE_TYPE, INHERITED_ACE | OBJECT_INHERIT_ACE}},
     {{kAllow, kUsers, FILE_WRITE_DATA, false}}},
    {"InheritOnlyAllow", {{ACCESS_ALLOWED_ACE_TYPE, INHERIT_ONLY_ACE | CONTAINER_INHERIT_ACE}},
     {{kAllow, kUsers, FILE_WRITE_DATA, true}}},
    {"DenyBeforeAllow", {{ACCESS_DENIED_ACE_TYPE, 0}, {ACCESS_ALLOWED_ACE_TYPE, 0}},
     {{AccessEntry::kDeny, "", 0}, {kAllow, kUsers, FILE_WRITE_DATA, false}}},
    {"ObjectAllow", {{ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0}}, {{AccessEntry::kUnreadable, "", 0}}},
    {"CallbackAllow", {{ACCESS_ALLOWED_CALLBACK_ACE_TYPE, 0}}, {{AccessEntry::kUnreadable, "", 0}}},
};

class Dacl : public testing::TestWithParam<DaclCase> {};

TEST_P(Dacl, ReadsAsWindowsAppliesIt) {
    std::vector<std::byte> built = Built(GetParam().aces);
    const auto read = DaclEntries(reinterpret_cast<const ACL*>(built.data()));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), GetParam().read.size());
    for (std::size_t i = 0; i < read->size(); ++i) {
        const AccessEntry& got = (*read)[i];
        const AccessEntry& want = GetParam().read[i];
        EXPECT_EQ(got.kind, want.kind) << i;
        if (want.kind == kAllow) {
            EXPECT_TRUE(got.account == want.account && got.mask == want.mask && got.inheritOnly == want.inheritOnly)
                << i;
        }
    }
    // No DACL at all is not an empty one: it lets everybody do everything.
    EXPECT_FALSE(DaclEntries(nullptr));
}

INSTANTIATE_TEST_SUITE_P(FolderGuard, Dacl, testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
