#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "folder_check/folder_guard.h"
#include "system/error.h"
#include "system/unique_fd.posix.h"

namespace keil {

const char* const kSetUpAdvice =
    "Die IT-Betreuung richtet den Ordner ein, wie es die Anleitung „/usr/share/doc/keilbrecher/admin-linux.md“ "
    "beschreibt.";

// The lookup folder as the guard checked it, which the lookup program is
// started in and from. Nobody can take a lock on a file on Linux that
// keeps the lookup program waiting, so nothing else stays open.
struct FolderGuard::Held {
    UniqueFd folder;
};

namespace {

struct ListingClose {
    void operator()(DIR* listing) const noexcept { ::closedir(listing); }
};

// Whether some account has `gid` as its primary group.
bool SomebodysPrimaryGroup(gid_t gid) {
    ::setpwent();
    bool found = false;
    while (const passwd* user = ::getpwent()) {
        if (user->pw_gid == gid) {
            found = true;
            break;
        }
    }
    ::endpwent();
    return found;
}

// Root, the user who runs the lookup, and the helper's group: the group of
// the installed helper, which is setgid to it and which the folder belongs
// to, while nobody is in it, neither as a member nor by the primary group:
// a clerk in it could change the folder. A helper that lost its setgid bit
// keeps its group: the helper's own error then says what is wrong.
TrustedAccounts LinuxTrusted(const std::string& helperPath) {
    TrustedAccounts trusted{"uid:0", "uid:" + std::to_string(::geteuid())};
    struct stat helper {};
    if (::stat(helperPath.c_str(), &helper) != 0) {
        ThrowSystemError(errno, "Das Hilfsprogramm " + Quoted(helperPath) + " kann nicht geprüft werden");
    }
    const group* found = ::getgrgid(helper.st_gid);
    const bool members = found != nullptr && found->gr_mem != nullptr && found->gr_mem[0] != nullptr;
    if (helper.st_gid != 0 && !members && !SomebodysPrimaryGroup(helper.st_gid)) {
        trusted.push_back("gid:" + std::to_string(helper.st_gid));
    }
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

// The access ACL of the entry open at `fd` (an O_PATH descriptor too,
// through its name in /proc): none when it has only its mode, nothing when
// it cannot be read.
std::optional<std::vector<PosixAclEntry>> AccessAcl(int fd) {
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    std::string value(256, '\0');
    for (;;) {
        const ssize_t got = ::getxattr(name.c_str(), "system.posix_acl_access", value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return ParsePosixAcl(value);
        }
        if (errno == ENODATA || errno == ENOTSUP) return std::vector<PosixAclEntry>{};
        if (errno != ERANGE) return std::nullopt;
        value.resize(value.size() * 4);
    }
}

// Refuses the entry open at `fd`, whose path is `path` and which stands at
// `place`, unless JudgeEntry lets it stay; returns what it found of it.
struct stat Judge(int fd, const std::string& path, Place place, const TrustedAccounts& trusted) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) ThrowCannotCheck(errno, path, place);
    const EntryKind kind = S_ISDIR(info.st_mode) ? EntryKind::kFolder : EntryKind::kFile;
    const Judgement judgement =
        JudgeEntry(place,
                   FactsFromMode(kind, info.st_uid, info.st_gid, info.st_mode,
                                 static_cast<std::uint32_t>(info.st_nlink), AccessAcl(fd)),
                   trusted);
    if (judgement.verdict != Verdict::kMayStay) {
        ThrowRefusedEntry(path, place, judgement, "dem Benutzer " + UserName(info.st_uid),
                          AccountPhrase(judgement.account));
    }
    return info;
}

// Opens the entry `name` of the folder open at `at` as what it is, never
// what a symbolic link leads to, which is refused; nothing when it is not
// there and `missingIsNothing`.
UniqueFd OpenEntry(int at, const std::string& name, int flags, const std::string& path, Place place,
                   bool missingIsNothing) {
    UniqueFd opened(::openat(at, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
    if (opened.valid()) return opened;
    const int error = errno;
    struct stat info {};
    if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        ThrowRefusedEntry(path, place, {Verdict::kLink, "", 0}, "", "");
    }
    if (error == ENOENT && missingIsNothing) return opened;
    if (place != Place::kInside && (error == ENOENT || error == ENOTDIR)) {
        ThrowSystemError(error, "Der Ordner des Suchprogramms " + Quoted(path) + " kann nicht geöffnet werden");
    }
    ThrowCannotCheck(error, path, place);
}

// Judges every entry of the folder open at `folder` (`relative` within the
// lookup folder at `path`, "" or ending with a slash) that the lookup
// program `program` may load, and all in the folders among them.
void CheckEntries(int folder, const std::string& path, const std::string& relative, const std::string& program,
                  const TrustedAccounts& trusted) {
    // The listing reads a descriptor of its own; `folder` serves the
    // lookups by name.
    UniqueFd listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* const opened = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (opened == nullptr) ThrowCannotCheck(errno, path + relative, relative.empty() ? Place::kFolder : Place::kInside);
    listing.release();  // closedir closes it from now on
    const std::unique_ptr<DIR, ListingClose> dir(opened);
    for (errno = 0; const dirent* entry = ::readdir(dir.get()); errno = 0) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !MayBeLoaded(relative + name, program)) continue;
        // Gone since the listing: nothing there to load.
        const UniqueFd judged(OpenEntry(folder, name, O_PATH, path + relative + name, Place::kInside, true));
        if (!judged.valid()) continue;
        if (!S_ISDIR(Judge(judged.get(), path + relative + name, Place::kInside, trusted).st_mode)) continue;
        const UniqueFd below(OpenEntry(folder, name, O_RDONLY | O_DIRECTORY, path + relative + name, Place::kInside, true));
        if (below.valid()) CheckEntries(below.get(), path, relative + name + "/", program, trusted);
    }
    if (errno != 0) ThrowCannotCheck(errno, path + relative, relative.empty() ? Place::kFolder : Place::kInside);
}

}  // namespace

FolderGuard::FolderGuard(const std::string& folder, const std::string& program, const std::string& helper)
    : held_(std::make_unique<Held>()) {
    const TrustedAccounts trusted = LinuxTrusted(helper);
    // Every folder from the root down, each opened through the one above
    // it as what it is, so that what is judged is what the path leads to,
    // and nobody can swap a part of it between the check and the start.
    std::error_code unused;
    const std::filesystem::path whole = std::filesystem::absolute(folder, unused).lexically_normal();
    std::vector<std::string> parts;
    for (const std::filesystem::path& part : whole.relative_path()) {
        if (!part.empty()) parts.push_back(part.string());
    }
    UniqueFd at(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!at.valid()) ThrowCannotCheck(errno, "/", Place::kAbove);
    std::string path = "/";
    Judge(at.get(), path, parts.empty() ? Place::kFolder : Place::kAbove, trusted);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        path += (path.size() > 1 ? "/" : "") + parts[i];
        const Place place = last ? Place::kFolder : Place::kAbove;
        UniqueFd next = OpenEntry(at.get(), parts[i], (last ? O_RDONLY : O_PATH) | O_DIRECTORY, path, place, false);
        Judge(next.get(), path, place, trusted);
        at = std::move(next);
    }
    if (parts.empty()) at = UniqueFd(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    CheckEntries(at.get(), path.size() > 1 ? path + "/" : path, "", program, trusted);
    held_->folder = std::move(at);
}

FolderGuard::~FolderGuard() = default;

NativeHandle FolderGuard::folder() const noexcept { return held_->folder.get(); }

}  // namespace keil
