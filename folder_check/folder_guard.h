#pragma once

// Keeps the lookup program from running or loading anything that somebody
// other than an administrator or the clerk herself may change. The lookup
// program loads DLLs, manifests and `.local` redirections from its own
// folder: a file that one clerk could write or place there would run in
// every other clerk's session. Before the lookup program starts, the folder
// itself and every entry in it and below must belong to an administrator
// or to the clerk who runs the lookup, and nobody else may be allowed to
// change it: on Windows by the entry's DACL, on Linux by its mode. The
// exchange files are never loaded as code, and the run checks them itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
// cannot be read), its number of links, and its DACL (none: a NULL DACL,
// which allows everybody everything).
struct EntryFacts {
    EntryKind kind = EntryKind::kFile;
    std::string owner;
    std::uint32_t links = 1;
    std::optional<std::vector<AccessEntry>> dacl = std::vector<AccessEntry>{};
};

// The accounts that may own and change what the lookup program may load:
// the administering accounts (on Windows Administrators, SYSTEM and
// TrustedInstaller; on Linux root and the helper's group) and the
// user who runs the lookup, whose own files can only reach herself.
using TrustedAccounts = std::vector<std::string>;
// Windows' administering accounts and `userSid`.
TrustedAccounts WindowsTrusted(const std::string& userSid);

// What the guard finds of one entry of the lookup folder.
enum class Verdict {
    kMayStay,
    kForeignOwner,  // it belongs to somebody else, or nobody can tell whom
    kMoreLinks,     // a file with another link elsewhere
    kTooWide,       // somebody else may change it (`account` has `right`)
};
struct Judgement {
    Verdict verdict;
    std::string account;     // kTooWide: who may; "" for an entry nobody can read
    std::uint32_t right = 0;  // kTooWide: the first right too wide (0: unreadable)
};

// The verdict on the entry `name` (relative to the lookup folder, parts
// separated by a backslash; "" for the folder itself) with `facts`: its
// owner must be trusted, no allow entry of its DACL that applies to it may
// give an untrusted account a right of ChangingRights, and no entry of a
// kind the check cannot read may stand in it; a file may not have another
// link. The run's exchange files and the names it renames them to before
// it deletes them are judged by the run itself. Names compare as Windows
// compares them, without case.
Judgement JudgeEntry(std::string_view name, const EntryFacts& facts, const TrustedAccounts& trusted);

// What a Linux entry's owner and mode tell (`uid`, `gid`, the mode's
// permission bits, its links): the group's and the others' write bits as
// allow entries of the rights that writing gives.
EntryFacts FactsFromMode(EntryKind kind, std::uint32_t uid, std::uint32_t gid, std::uint32_t mode,
                         std::uint32_t links);

// The lookup folder's guard for one run, made before the run touches the
// folder: it checks the folder itself and every entry in it and below,
// and raises kErrForeignEntry, naming the first entry that may not stay,
// whose it is or who may change it and how, before anything is started,
// changed or deleted. On Windows it holds every entry open until it goes,
// so that nobody can take an oplock on one that the lookup program's own
// opens would wait for.
// `helper` is Linux's exchange helper, whose group the folder belongs to.
class FolderGuard {
public:
    FolderGuard(const std::string& folder, const std::string& helper);
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;
    ~FolderGuard();

private:
    struct Held;  // what the platform holds open
    std::unique_ptr<Held> held_;
};

// Raises kErrForeignEntry for `path`, the lookup folder itself when
// `folderItself`, judged `judgement`: `owner` names its owner ("das Konto
// „…“"; "" when it cannot be read), `account` whoever may change it.
[[noreturn]] void ThrowRefusedEntry(const std::string& path, bool folderItself, const Judgement& judgement,
                                    const std::string& owner, const std::string& account);
// Raises kErrForeignEntry for the lookup folder `folder`, which is a
// symbolic link or junction.
[[noreturn]] void ThrowFolderIsALink(const std::string& folder);

// How the IT support sets the folder up on this platform, for the texts.
extern const char* const kSetUpAdvice;

// The German name of the right `right` on an entry of `kind`, as Windows
// names it in its advanced security settings.
std::string RightName(EntryKind kind, std::uint32_t right);

}  // namespace keil
