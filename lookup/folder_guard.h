#pragma once

// Keeps the lookup program from loading a file that a clerk placed in its
// folder. On Windows every clerk may create files in the lookup folder (she
// must, for the exchange files), and the lookup program loads DLLs,
// manifests and `.local` redirections from its own folder: a file that one
// clerk placed there would run in every other clerk's session. Before the
// lookup program starts, every entry of the folder and below it must belong
// to an administrator; a watch on the folder then sees what appears while
// the program runs. On Linux only root and the exchange helper write the
// folder, so there is nothing to look at.

#include <memory>
#include <string>
#include <string_view>

namespace keil {

enum class EntryKind { kFile, kFolder };

// Whether the entry `name` (relative to the lookup folder, parts separated
// by a backslash) of the kind `kind`, owned by the account `ownerSid`, may
// stay in the folder that `folderOwnerSid` owns. Owners that may place
// files are Administrators, SYSTEM, TrustedInstaller and the folder's own
// owner; the run's exchange files, the names it renames them to before it
// deletes them and the lookup program itself may belong to anybody, as
// they are never loaded as code (the lookup program's file is guarded by
// its own ACL). Names compare as Windows compares them, without case.
bool EntryMayStay(std::string_view name, EntryKind kind, std::string_view ownerSid,
                  std::string_view folderOwnerSid);

// The lookup folder's guard for one run. Made before the run touches the
// folder: it starts watching the folder, then looks at every entry in it
// and below, and raises kErrForeignEntry, naming the first entry that may
// not stay and its owner, before anything is started or deleted.
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

// Raises kErrForeignEntry for the entry at `path` owned by `owner` (an
// account's name or a SID string; "" when it cannot be read).
[[noreturn]] void ThrowForeignEntry(const std::string& path, const std::string& owner, SeenWhen when);
// Raises kErrForeignEntry for a watch on `folder` that lost count.
[[noreturn]] void ThrowWatchOverflow(const std::string& folder);

}  // namespace keil
