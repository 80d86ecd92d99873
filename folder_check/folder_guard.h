#pragma once

// Keeps the lookup program from running or loading anything that somebody
// other than an administrator or the clerk herself may change. The lookup
// program loads DLLs, manifests, configuration files and `.local`
// redirections from its own folder: a file that one clerk could write or
// place there would run in every other clerk's session. Before the lookup
// program starts, what can run must belong to an administrator or to the
// clerk who runs the lookup, and nobody else may be allowed to change it:
// every folder on the path from the root to the lookup folder, the folder
// itself (a new file there could be a planted DLL), the lookup program, each
// file of the folder whose name Windows may load as code or as
// instructions for loading it (MayBeLoaded), and the program's `.local`
// folder with all in it; on Windows by the entry's DACL, on Linux by its
// mode and POSIX ACL. Other files and subfolders, the lookup program's data
// and the exchange files among them, are neither judged nor held: the
// admin may let clerks write them.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "system/native_handle.h"

namespace keil {

enum class EntryKind { kFile, kFolder };

// One entry of a DACL as the rights check reads it: whether it allows or
// denies, or is of a kind that the check cannot read; the account (a SID
// string, or on Linux "uid:N", "gid:N" or kEveryone); the rights (Windows'
// access mask); and whether it only passes to what is made below.
struct AccessEntry {
    enum Kind { kAllow, kDeny, kUnreadable };
    Kind kind;
    std::string account;
    std::uint32_t mask;
    bool inheritOnly = false;
};

// The account that stands for everybody: Windows' Everyone.
inline constexpr std::string_view kEveryone = "S-1-1-0";

// What the check knows of one entry: its kind, its owner ("" when it
// cannot be read), its number of links, its DACL (none: a NULL DACL, which
// allows everybody everything), and whether it is a symbolic link, junction
// or other reparse point, which leads elsewhere.
struct EntryFacts {
    EntryKind kind = EntryKind::kFile;
    std::string owner;
    std::uint32_t links = 1;
    std::optional<std::vector<AccessEntry>> dacl = std::vector<AccessEntry>{};
    bool link = false;
};

// Where an entry stands: a folder on the path to the lookup folder, the
// lookup folder itself, or an entry of it that the check judges.
enum class Place { kAbove, kFolder, kInside };

// Whether the lookup program `program` (its file name) may load or run the
// entry `name` of its folder (relative to it, parts separated by a
// backslash or a slash), as Microsoft documents what Windows loads from a
// program's folder: the program itself; DLLs and the other files that the
// DLL search, COM, the control panel and drivers load (.dll .ocx .cpl .drv
// .sys .ax .acm), programs (.exe .com .scr .pif .bat .cmd), resource
// libraries (.mui), application manifests and configuration files
// (.manifest .config), DotLocal redirection (`<program>.local`, a file or a
// folder with all in it). Names compare as Windows compares them, without
// case, and without the dots and blanks at their end that Windows ignores.
bool MayBeLoaded(std::string_view name, std::string_view program);

// The accounts that may own and change what the lookup program may load:
// the administering accounts (on Windows Administrators, SYSTEM and
// TrustedInstaller; on Linux root and the helper's group) and the
// user who runs the lookup, whose own files can only reach herself.
using TrustedAccounts = std::vector<std::string>;
// Windows' administering accounts and `userSid`.
TrustedAccounts WindowsTrusted(const std::string& userSid);

// What the guard finds of one entry.
enum class Verdict {
    kMayStay,
    kForeignOwner,  // it belongs to somebody else, or nobody can tell whom
    kMoreLinks,     // a file with another link elsewhere
    kTooWide,       // somebody else may change it (`account` has `right`)
    kLink,          // a symbolic link, junction or other reparse point
};
struct Judgement {
    Verdict verdict;
    std::string account;     // kTooWide: who may; "" for an entry nobody can read
    std::uint32_t right = 0;  // kTooWide: the first right too wide (0: unreadable)
};

// The verdict on an entry at `place` with `facts`: it may not lead
// elsewhere; its owner must be trusted; no allow entry of its DACL that
// applies to it may give an untrusted account a right that lets that
// account change what the entry is (on a folder above the lookup folder to
// remove, rename or replace what it holds, or to change its DACL or owner;
// on the lookup folder also to add to it; on a file also to write it), and
// no entry of a kind the check cannot read may stand in it; a file may not
// have another link.
Judgement JudgeEntry(Place place, const EntryFacts& facts, const TrustedAccounts& trusted);

// One entry of a POSIX ACL (system.posix_acl_access): its tag (ACL_USER_OBJ
// 1, ACL_USER 2, ACL_GROUP_OBJ 4, ACL_GROUP 8, ACL_MASK 16, ACL_OTHER 32),
// its permissions (write: 2) and the user's or group's ID.
struct PosixAclEntry {
    std::uint16_t tag;
    std::uint16_t permissions;
    std::uint32_t id;
};

// The entries of a system.posix_acl_access attribute's value; nothing for
// a value of another version or length, which the check cannot read.
std::optional<std::vector<PosixAclEntry>> ParsePosixAcl(std::string_view value);

// What a Linux entry's owner, mode and ACL tell (`uid`, `gid`, the mode's
// bits, its links, the entries of its access ACL, none when it has only
// its mode, nothing when its ACL cannot be read): every account other than
// the owner that may write it as an allow entry of the rights that writing
// gives (on a folder with the sticky bit, adding only: nobody may remove
// or rename another's entry there), and whether it is a symbolic link.
EntryFacts FactsFromMode(EntryKind kind, std::uint32_t uid, std::uint32_t gid, std::uint32_t mode,
                         std::uint32_t links, const std::optional<std::vector<PosixAclEntry>>& acl = std::vector<PosixAclEntry>{});

// The lookup folder's guard for one run, made before the run touches the
// folder: it checks the path to the folder, the folder and what the lookup
// program `program` may load from it, and raises kErrForeignEntry, naming
// the first entry that may not stay, whose it is or who may change it and
// how, before anything is started, changed or deleted; an entry it cannot
// read raises the system's error, saying which. It holds what it checked
// until it goes: on Windows every entry it judged, open so that nobody may
// rename, replace or delete it or take an oplock on it meanwhile; on Linux
// the folder, which the lookup program is started in and from (folder()).
// `helper` is Linux's exchange helper, whose group the folder belongs to;
// that group is trusted while it has no members.
class FolderGuard {
public:
    FolderGuard(const std::string& folder, const std::string& program, const std::string& helper);
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;
    ~FolderGuard();

    // The folder as the guard opened it (POSIX), for the start; kNoHandle
    // on Windows, whose start takes a path.
    NativeHandle folder() const noexcept;

private:
    struct Held;  // what the platform holds open
    std::unique_ptr<Held> held_;
};

// Raises kErrForeignEntry for the entry at `path`, which stands at `place`
// and was judged `judgement`: `owner` names its owner ("dem Konto „…“"; ""
// when it cannot be read), `account` whoever may change it.
[[noreturn]] void ThrowRefusedEntry(const std::string& path, Place place, const Judgement& judgement,
                                    const std::string& owner, const std::string& account);

// Raises the system error `code` for the entry at `path`, standing at
// `place`, which cannot be read for the check.
[[noreturn]] void ThrowCannotCheck(std::int32_t code, const std::string& path, Place place);

// How the IT support sets the folder up on this platform, for the texts.
extern const char* const kSetUpAdvice;

// The German name of the right `right` on an entry of `kind`, as Windows
// names it in its advanced security settings.
std::string RightName(EntryKind kind, std::uint32_t right);

}  // namespace keil
