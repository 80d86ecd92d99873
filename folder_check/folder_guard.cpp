#include "folder_check/folder_guard.h"

#include <algorithm>
#include <array>

#include "system/error.h"

namespace keil {
namespace {

// Windows' access rights, by their numbers, so that the rule reads the
// same on every platform.
enum : std::uint32_t {
    kWriteData = 0x0002,      // on a folder: add a file
    kAppendData = 0x0004,     // on a folder: add a subfolder
    kWriteEa = 0x0010,
    kDeleteChild = 0x0040,
    kWriteAttributes = 0x0100,
    kDelete = 0x00010000,
    kWriteDac = 0x00040000,
    kWriteOwner = 0x00080000,
    kGenericAll = 0x10000000,
    kGenericWrite = 0x40000000,
};

// The accounts that administer Windows: Administrators, SYSTEM,
// TrustedInstaller, and OWNER RIGHTS, which stands for the owner, whom the
// rule checks itself.
constexpr std::array<std::string_view, 4> kAdministrators = {
    "S-1-5-32-544",
    "S-1-5-18",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
    "S-1-3-4",
};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}


// The extensions of what Windows loads from a program's folder as code or
// as instructions for loading it.
constexpr std::array<std::string_view, 16> kLoadedExtensions = {
    ".dll", ".ocx", ".cpl", ".drv", ".sys", ".ax", ".acm", ".exe",
    ".com", ".scr", ".pif", ".bat", ".cmd", ".mui", ".manifest", ".config"};

// `name` without the dots and blanks at its end, which Windows drops.
std::string_view AsWindowsTakesIt(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return name;
}

bool EndsWithName(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() && SameName(name.substr(name.size() - suffix.size()), suffix);
}

bool Trusted(std::string_view account, const TrustedAccounts& trusted) {
    return !account.empty() && std::ranges::find(trusted, account) != trusted.end();
}


std::string Whose(const std::string& owner) {
    return owner.empty() ? "einem Konto, das sich nicht feststellen lässt" : owner;
}

// The rights that let somebody change an entry of `kind` at `place`: on
// any to delete it, change its DACL or owner, and the generic right of
// all; on a folder above the lookup folder to remove or rename what it
// holds, the way to the folder; on the lookup folder and a folder in it
// also to add to it, and the generic right to write; on a file to write it.
std::uint32_t ChangingRights(Place place, EntryKind kind) {
    const std::uint32_t any = kDelete | kWriteDac | kWriteOwner | kGenericAll;
    if (place == Place::kAbove) return any | kDeleteChild;
    return kind == EntryKind::kFolder ? any | kGenericWrite | kWriteData | kAppendData | kDeleteChild
                                      : any | kGenericWrite | kWriteData | kAppendData | kWriteEa | kWriteAttributes;
}

}  // namespace

TrustedAccounts WindowsTrusted(const std::string& userSid) {
    TrustedAccounts trusted(kAdministrators.begin(), kAdministrators.end());
    trusted.push_back(userSid);
    return trusted;
}


bool MayBeLoaded(std::string_view name, std::string_view program) {
    const std::string_view taken = AsWindowsTakesIt(name);
    const std::string dotLocal = std::string(program) + ".local";
    // The `.local` folder and what is in it, at any depth.
    const std::size_t first = taken.find_first_of("\\/");
    if (SameName(AsWindowsTakesIt(taken.substr(0, first)), dotLocal)) return true;
    if (first != std::string_view::npos) return false;
    if (SameName(taken, program)) return true;
    return std::ranges::any_of(kLoadedExtensions, [&](std::string_view extension) { return EndsWithName(taken, extension); });
}

Judgement JudgeEntry(Place place, const EntryFacts& facts, const TrustedAccounts& trusted) {
    if (facts.link) return {Verdict::kLink, "", 0};
    if (!Trusted(facts.owner, trusted)) return {Verdict::kForeignOwner, "", 0};
    if (!facts.dacl) return {Verdict::kTooWide, std::string(kEveryone), kGenericAll};
    for (const AccessEntry& entry : *facts.dacl) {
        if (entry.inheritOnly || entry.kind == AccessEntry::kDeny) continue;
        if (entry.kind == AccessEntry::kUnreadable) return {Verdict::kTooWide, "", 0};
        const std::uint32_t changing = entry.mask & ChangingRights(place, facts.kind);
        if (changing != 0 && !Trusted(entry.account, trusted)) {
            // The lowest right names it, the generic ones last.
            return {Verdict::kTooWide, entry.account, changing & (~changing + 1)};
        }
    }
    if (facts.kind == EntryKind::kFile && facts.links > 1) return {Verdict::kMoreLinks, "", 0};
    return {Verdict::kMayStay, "", 0};
}

std::optional<std::vector<PosixAclEntry>> ParsePosixAcl(std::string_view value) {
    // A little-endian header of version 2, then eight bytes an entry.
    constexpr std::size_t kHeader = 4;
    constexpr std::size_t kEntry = 8;
    const auto at = [&](std::size_t offset, std::size_t size) {
        std::uint32_t number = 0;
        for (std::size_t i = size; i-- > 0;) number = number << 8 | static_cast<std::uint8_t>(value[offset + i]);
        return number;
    };
    if (value.size() < kHeader || (value.size() - kHeader) % kEntry != 0 || at(0, 4) != 2) return std::nullopt;
    std::vector<PosixAclEntry> entries;
    for (std::size_t offset = kHeader; offset < value.size(); offset += kEntry) {
        entries.push_back({static_cast<std::uint16_t>(at(offset, 2)), static_cast<std::uint16_t>(at(offset + 2, 2)),
                           at(offset + 4, 4)});
    }
    return entries;
}

EntryFacts FactsFromMode(EntryKind kind, std::uint32_t uid, std::uint32_t gid, std::uint32_t mode,
                         std::uint32_t links, const std::optional<std::vector<PosixAclEntry>>& acl) {
    constexpr std::uint32_t kGroupWrites = 0020;
    constexpr std::uint32_t kOthersWrite = 0002;
    constexpr std::uint32_t kSticky = 01000;
    constexpr std::uint32_t kTypeBits = 0170000;
    constexpr std::uint32_t kSymbolicLink = 0120000;
    constexpr std::uint16_t kWrite = 2;
    enum : std::uint16_t { kUser = 2, kGroupObject = 4, kGroup = 8, kMask = 16, kOther = 32 };
    // Writing a folder makes, removes and renames what is in it, but under
    // the sticky bit removes and renames only one's own; writing a file
    // changes it.
    const std::uint32_t writing = kind == EntryKind::kFile        ? kWriteData | kAppendData
                                  : (mode & kSticky) != 0 ? kWriteData | kAppendData
                                                          : kWriteData | kAppendData | kDeleteChild;
    EntryFacts facts{kind, "uid:" + std::to_string(uid), links, std::vector<AccessEntry>{},
                     (mode & kTypeBits) == kSymbolicLink};
    if (!acl) {
        facts.dacl->push_back({AccessEntry::kUnreadable, "", 0});
        return facts;
    }
    const auto allow = [&](const std::string& account) { facts.dacl->push_back({AccessEntry::kAllow, account, writing}); };
    if (acl->empty()) {
        if ((mode & kGroupWrites) != 0) allow("gid:" + std::to_string(gid));
        if ((mode & kOthersWrite) != 0) allow(std::string(kEveryone));
        return facts;
    }
    // The mask bounds what the named entries and the owning group may; the
    // owner's own entry is the owner's.
    bool maskWrites = true;
    for (const PosixAclEntry& entry : *acl) {
        if (entry.tag == kMask) maskWrites = (entry.permissions & kWrite) != 0;
    }
    for (const PosixAclEntry& entry : *acl) {
        if ((entry.permissions & kWrite) == 0) continue;
        if (entry.tag == kUser && maskWrites) allow("uid:" + std::to_string(entry.id));
        if (entry.tag == kGroup && maskWrites) allow("gid:" + std::to_string(entry.id));
        if (entry.tag == kGroupObject && maskWrites) allow("gid:" + std::to_string(gid));
        if (entry.tag == kOther) allow(std::string(kEveryone));
    }
    return facts;
}

std::string RightName(EntryKind kind, std::uint32_t right) {
    const bool folder = kind == EntryKind::kFolder;
    switch (right) {
        case kWriteData:
            return folder ? "Dateien erstellen" : "Daten schreiben";
        case kAppendData:
            return folder ? "Ordner erstellen" : "Daten anhängen";
        case kWriteEa:
            return "Erweiterte Attribute schreiben";
        case kDeleteChild:
            return "Unterordner und Dateien löschen";
        case kWriteAttributes:
            return "Attribute schreiben";
        case kDelete:
            return "Löschen";
        case kWriteDac:
            return "Berechtigungen ändern";
        case kWriteOwner:
            return "Besitz übernehmen";
        case kGenericWrite:
            return "Schreiben";
        default:
            return "Vollzugriff";
    }
}

void ThrowRefusedEntry(const std::string& path, Place place, const Judgement& judgement, const std::string& owner,
                       const std::string& account) {
    const std::string subject = place == Place::kFolder  ? "Der Ordner des Suchprogramms " + Quoted(path)
                                : place == Place::kAbove ? "Der Ordner " + Quoted(path) + " auf dem Weg zum Ordner des "
                                                           "Suchprogramms"
                                                         : "Der Eintrag " + Quoted(path) + " im Ordner des Suchprogramms";
    const std::string consequence = place == Place::kInside
                                        ? " Das Suchprogramm könnte ihn laden und wird deshalb nicht gestartet; geändert "
                                          "wird nichts."
                                        : " Das Suchprogramm wird deshalb nicht gestartet; geändert wird nichts.";
    std::string what;
    switch (judgement.verdict) {
        case Verdict::kTooWide:
            if (judgement.account.empty()) {
                what = subject + " hat einen Eintrag in seinen Berechtigungen, der sich nicht prüfen lässt.";
            } else if (place == Place::kFolder) {
                what = account + " darf im Ordner des Suchprogramms " + Quoted(path) + " mit dem Recht " +
                       Quoted(RightName(EntryKind::kFolder, judgement.right)) + " Einträge ablegen oder ändern.";
            } else if (place == Place::kAbove) {
                what = account + " darf im Ordner " + Quoted(path) + " auf dem Weg zum Ordner des Suchprogramms mit "
                       "dem Recht " + Quoted(RightName(EntryKind::kFolder, judgement.right)) + " Einträge ersetzen.";
            } else {
                what = account + " darf den Eintrag " + Quoted(path) + " im Ordner des Suchprogramms mit dem Recht " +
                       Quoted(RightName(EntryKind::kFile, judgement.right)) + " ändern.";
            }
            throw Error(kErrForeignEntry, what + consequence + " " + kTellSupport + " " + kSetUpAdvice);
        case Verdict::kLink:
            what = subject + " ist eine symbolische Verknüpfung oder Verzeichnisverbindung, die anderswohin führt.";
            break;
        case Verdict::kMoreLinks:
            what = subject + " hat eine weitere feste Verknüpfung an anderer Stelle, über die ihn jemand ändern könnte.";
            break;
        case Verdict::kForeignOwner:
        case Verdict::kMayStay:
            what = subject + " gehört weder der IT-Betreuung noch Ihnen, sondern " + Whose(owner) + ".";
            break;
    }
    throw Error(kErrForeignEntry, what + consequence + " " + std::string(kTellSupport));
}

void ThrowCannotCheck(std::int32_t code, const std::string& path, Place place) {
    ThrowSystemError(code, (place == Place::kFolder  ? "Der Ordner des Suchprogramms " + Quoted(path)
                            : place == Place::kAbove ? "Der Ordner " + Quoted(path) + " auf dem Weg zum Ordner des "
                                                       "Suchprogramms"
                                                     : "Der Eintrag " + Quoted(path) + " im Ordner des Suchprogramms") +
                               " kann nicht geprüft werden");
}

}  // namespace keil
