#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "folder_check/folder_guard.h"
#include "system/error.h"
#include "system/unique_fd.posix.h"

namespace keil {

const char* const kSetUpAdvice =
    "Die IT-Betreuung richtet den Ordner ein, wie es die Anleitung „/usr/share/doc/keilbrecher/admin-linux.md“ "
    "beschreibt.";

// Nothing stays open on Linux: nobody can take a lock on a file there that
// keeps the lookup program waiting.
struct FolderGuard::Held {};

namespace {

struct ListingClose {
    void operator()(DIR* listing) const noexcept { ::closedir(listing); }
};

[[noreturn]] void ThrowCannotCheck(int code, const std::string& path) {
    ThrowSystemError(code, "Der Ordner des Suchprogramms " + Quoted(path) + " kann nicht geprüft werden");
}

// Root, the user who runs the lookup, and the helper's group: the
// group of the installed helper, which is setgid to it, and which the
// folder belongs to (it has no members). A helper that lost its setgid bit
// keeps its group: the helper's own error then says what is wrong.
TrustedAccounts LinuxTrusted(const std::string& helperPath) {
    TrustedAccounts trusted{"uid:0", "uid:" + std::to_string(::geteuid())};
    struct stat helper {};
    if (::stat(helperPath.c_str(), &helper) == 0) trusted.push_back("gid:" + std::to_string(helper.st_gid));
    return trusted;
}

std::string UserName(uid_t uid) {
    const passwd* user = ::getpwuid(uid);
    return user != nullptr ? Quoted(user->pw_name) : "mit der Nummer " + std::to_string(uid);
}

// Who an account of JudgeEntry is, for the messages.
std::string AccountPhrase(const std::string& account) {
    if (account.starts_with("uid:")) return "Der Benutzer " + UserName(static_cast<uid_t>(std::stoul(account.substr(4))));
    if (account.starts_with("gid:")) {
        const auto gid = static_cast<gid_t>(std::stoul(account.substr(4)));
        const group* found = ::getgrgid(gid);
        return "Die Gruppe " + (found != nullptr ? Quoted(found->gr_name) : "mit der Nummer " + std::to_string(gid));
    }
    return "Jeder Benutzer des Rechners";
}

// Judges the entry `name` of the folder open at `folder` (whose path in the
// lookup folder is `relative`), and every entry below it.
void CheckEntries(int folder, const std::string& path, const std::string& relative, const TrustedAccounts& trusted) {
    // The listing reads a descriptor of its own; `folder` serves the
    // lookups by name.
    UniqueFd listing(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    DIR* const opened = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (opened == nullptr) ThrowCannotCheck(errno, path + relative);
    listing.release();  // closedir closes it from now on
    const std::unique_ptr<DIR, ListingClose> dir(opened);
    for (errno = 0; const dirent* entry = ::readdir(dir.get()); errno = 0) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            // Gone since the listing: nothing there to load.
            if (errno == ENOENT) continue;
            ThrowCannotCheck(errno, path + relative + name);
        }
        const EntryKind kind = S_ISDIR(info.st_mode) ? EntryKind::kFolder : EntryKind::kFile;
        const Judgement judgement = JudgeEntry(
            relative + name,
            FactsFromMode(kind, info.st_uid, info.st_gid, info.st_mode, static_cast<std::uint32_t>(info.st_nlink)),
            trusted);
        if (judgement.verdict != Verdict::kMayStay) {
            ThrowRefusedEntry(path + relative + name, false, judgement, "dem Benutzer " + UserName(info.st_uid),
                              AccountPhrase(judgement.account));
        }
        if (kind != EntryKind::kFolder) continue;
        const UniqueFd below(::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!below.valid()) {
            if (errno == ENOENT) continue;
            ThrowCannotCheck(errno, path + relative + name);
        }
        CheckEntries(below.get(), path, relative + name + "/", trusted);
    }
    if (errno != 0) ThrowCannotCheck(errno, path + relative);
}

}  // namespace

FolderGuard::FolderGuard(const std::string& folder, const std::string& helper) : held_(std::make_unique<Held>()) {
    const UniqueFd opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.valid()) {
        ThrowSystemError(errno, "Der Ordner des Suchprogramms " + Quoted(folder) + " kann nicht geöffnet werden");
    }
    struct stat info {};
    if (::fstat(opened.get(), &info) != 0) ThrowCannotCheck(errno, folder);
    const TrustedAccounts trusted = LinuxTrusted(helper);
    const Judgement judgement =
        JudgeEntry("", FactsFromMode(EntryKind::kFolder, info.st_uid, info.st_gid, info.st_mode, 1), trusted);
    if (judgement.verdict != Verdict::kMayStay) {
        ThrowRefusedEntry(folder, true, judgement, "dem Benutzer " + UserName(info.st_uid),
                          AccountPhrase(judgement.account));
    }
    CheckEntries(opened.get(), folder, "", trusted);
}

FolderGuard::~FolderGuard() = default;

}  // namespace keil
