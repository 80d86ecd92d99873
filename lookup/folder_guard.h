#pragma once

// Keeps the lookup program from loading a file that somebody other than
// an administrator or the clerk herself placed in its folder. The lookup
// program loads DLLs, manifests and `.local` redirections from its own
// folder: a file that one clerk placed there would run in every other
// clerk's session. On a shared Windows server clerks may not create
// anything in the folder; where they still can (a folder set up with more
// rights, or not set up at all), the folder itself and every entry in it
// and below must belong to an administrator or to the clerk who runs the
// lookup, before the lookup program starts, and a watch on the folder then
// sees what appears while the program runs. On Linux only root and the
// exchange helper write the folder, so there is nothing to look at.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace keil {

enum class EntryKind { kFile, kFolder };

// Whether an account may own what the lookup program may load: the
// administering accounts (Administrators, SYSTEM, TrustedInstaller) and
// the user `userSid` who runs the lookup, whose own files can only reach
// herself. An empty `ownerSid` (it could not be read) may not.
bool IsTrustedOwner(std::string_view ownerSid, std::string_view userSid);

// What the guard finds of one entry of the lookup folder.
enum class Verdict {
    kMayStay,
    kForeignOwner,  // it belongs to somebody else, or nobody can tell whom
    kMoreLinks,     // a file with another link elsewhere, which others may write
};

// The verdict on the entry `name` (relative to the lookup folder, parts
// separated by a backslash) of the kind `kind`, owned by the account
// `ownerSid` and with `links` links, for a lookup run by `userSid`. The
// run's exchange files and the names it renames them to before it deletes
// them may belong to anybody and have any number of links, as they are
// never loaded as code (the run checks its exchange files itself). Names
// compare as Windows compares them, without case.
Verdict JudgeEntry(std::string_view name, EntryKind kind, std::string_view ownerSid, std::string_view userSid,
                   std::uint32_t links);

// The lookup folder's guard for one run. Made before the run touches the
// folder: it checks the folder itself, starts watching it, then looks at
// every entry in it and below, and raises kErrForeignEntry, naming the
// first entry that may not stay and why, before anything is started,
// changed or deleted.
class FolderGuard {
public:
    explicit FolderGuard(const std::string& folder);
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;
    ~FolderGuard();

    // Once the lookup program has ended: raises kErrForeignEntry when an
    // entry that may not stay appeared in the folder since the guard was
    // made, even one that went again, or when more changed than the watch
    // could record.
    void CheckNothingAppeared();

private:
    struct Watch;  // the platform's watch on the folder
    std::unique_ptr<Watch> watch_;
};

// When the foreign entry was seen: before the start, while the lookup
// program ran and still there, or while it ran and gone again.
enum class SeenWhen { kBeforeStart, kDuringRun, kCameAndWent };

// Raises kErrForeignEntry for the entry at `path`, refused for `verdict`,
// owned by `owner` (an account's name or a SID string; "" when it cannot
// be read).
[[noreturn]] void ThrowForeignEntry(const std::string& path, const std::string& owner, SeenWhen when,
                                    Verdict verdict = Verdict::kForeignOwner);
// Raises kErrForeignEntry for the lookup folder `folder` itself, owned by
// `owner`, or a symbolic link or junction when `isLink`.
[[noreturn]] void ThrowForeignFolder(const std::string& folder, const std::string& owner, bool isLink);
// Raises kErrForeignEntry for a watch on `folder` that lost count.
[[noreturn]] void ThrowWatchOverflow(const std::string& folder);

}  // namespace keil
