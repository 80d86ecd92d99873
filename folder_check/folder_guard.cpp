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

bool StartsWithName(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && SameName(name.substr(0, prefix.size()), prefix);
}

// The names of the run's exchange files in the lookup folder.
constexpr std::array<std::string_view, 2> kExchangeNames = {"in.txt", "out.txt"};

bool AllDigits(std::string_view s) {
    return !s.empty() && std::ranges::all_of(s, [](char c) { return c >= '0' && c <= '9'; });
}

// "<exchange file>.<process>-<tick>-<count>.deleted": the name an exchange
// file is given just before it is deleted.
bool IsDeletionRename(std::string_view name, std::string_view exchangeName) {
    constexpr std::string_view kSuffix = ".deleted";
    if (!StartsWithName(name, exchangeName) || name.size() <= exchangeName.size() + kSuffix.size()) return false;
    if (name[exchangeName.size()] != '.' || !SameName(name.substr(name.size() - kSuffix.size()), kSuffix)) return false;
    std::string_view numbers = name.substr(exchangeName.size() + 1);
    numbers.remove_suffix(kSuffix.size());
    for (int part = 0; part < 3; ++part) {
        const std::size_t dash = part < 2 ? numbers.find('-') : numbers.size();
        if (dash == std::string_view::npos || !AllDigits(numbers.substr(0, dash))) return false;
        numbers.remove_prefix(std::min(dash + 1, numbers.size()));
    }
    return true;
}

bool IsRunsOwnFile(std::string_view name) {
    for (const std::string_view exchange : kExchangeNames) {
        if (SameName(name, exchange) || IsDeletionRename(name, exchange)) return true;
    }
    return false;
}

bool Trusted(std::string_view account, const TrustedAccounts& trusted) {
    return !account.empty() && std::ranges::find(trusted, account) != trusted.end();
}


std::string Whose(const std::string& owner) {
    return owner.empty() ? "einem Konto, das sich nicht feststellen lässt" : owner;
}

// The rights that let somebody change an entry of `kind`: on a folder to
// make, remove or rename what is in it, on a file to write it; on either to
// delete it, change its DACL or owner, and the generic rights that hold
// these.
std::uint32_t ChangingRights(EntryKind kind) {
    const std::uint32_t either = kDelete | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;
    return kind == EntryKind::kFolder ? either | kWriteData | kAppendData | kDeleteChild
                                      : either | kWriteData | kAppendData | kWriteEa | kWriteAttributes;
}

}  // namespace

TrustedAccounts WindowsTrusted(const std::string& userSid) {
    TrustedAccounts trusted(kAdministrators.begin(), kAdministrators.end());
    trusted.push_back(userSid);
    return trusted;
}


Judgement JudgeEntry(std::string_view name, const EntryFacts& facts, const TrustedAccounts& trusted) {
    if (facts.kind == EntryKind::kFile && IsRunsOwnFile(name)) return {Verdict::kMayStay, "", 0};
    if (!Trusted(facts.owner, trusted)) return {Verdict::kForeignOwner, "", 0};
    if (!facts.dacl) return {Verdict::kTooWide, std::string(kEveryone), kGenericAll};
    for (const AccessEntry& entry : *facts.dacl) {
        if (entry.inheritOnly || entry.kind == AccessEntry::kDeny) continue;
        if (entry.kind == AccessEntry::kUnreadable) return {Verdict::kTooWide, "", 0};
        const std::uint32_t changing = entry.mask & ChangingRights(facts.kind);
        if (changing != 0 && !Trusted(entry.account, trusted)) {
            // The lowest right names it, the generic ones last.
            return {Verdict::kTooWide, entry.account, changing & (~changing + 1)};
        }
    }
    if (facts.kind == EntryKind::kFile && facts.links > 1) return {Verdict::kMoreLinks, "", 0};
    return {Verdict::kMayStay, "", 0};
}

EntryFacts FactsFromMode(EntryKind kind, std::uint32_t uid, std::uint32_t gid, std::uint32_t mode,
                         std::uint32_t links) {
    constexpr std::uint32_t kGroupWrites = 0020;
    constexpr std::uint32_t kOthersWrite = 0002;
    // Writing a folder makes, removes and renames what is in it; writing a
    // file changes it.
    const std::uint32_t writing =
        kind == EntryKind::kFolder ? kWriteData | kAppendData | kDeleteChild : kWriteData | kAppendData;
    EntryFacts facts{kind, "uid:" + std::to_string(uid), links, std::vector<AccessEntry>{}};
    if ((mode & kGroupWrites) != 0) facts.dacl->push_back({AccessEntry::kAllow, "gid:" + std::to_string(gid), writing});
    if ((mode & kOthersWrite) != 0) facts.dacl->push_back({AccessEntry::kAllow, std::string(kEveryone), writing});
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

void ThrowRefusedEntry(const std::string& path, bool folderItself, const Judgement& judgement,
                       const std::string& owner, const std::string& account) {
    const std::string subject = folderItself ? "Der Ordner des Suchprogramms " + Quoted(path)
                                             : "Der Eintrag " + Quoted(path) + " im Ordner des Suchprogramms";
    const std::string consequence = folderItself ? " Das Suchprogramm wird deshalb nicht gestartet; geändert wird nichts."
                                                 : " Das Suchprogramm könnte ihn laden und wird deshalb nicht gestartet; "
                                                   "geändert wird nichts.";
    std::string what;
    switch (judgement.verdict) {
        case Verdict::kTooWide:
            if (judgement.account.empty()) {
                what = subject + " hat einen Eintrag in seinen Berechtigungen, der sich nicht prüfen lässt.";
            } else if (folderItself) {
                what = account + " darf im Ordner des Suchprogramms " + Quoted(path) + " mit dem Recht " +
                       Quoted(RightName(EntryKind::kFolder, judgement.right)) + " Einträge ablegen oder ändern.";
            } else {
                what = account + " darf den Eintrag " + Quoted(path) + " im Ordner des Suchprogramms mit dem Recht " +
                       Quoted(RightName(EntryKind::kFile, judgement.right)) + " ändern.";
            }
            throw Error(kErrForeignEntry, what + consequence + " " + kTellSupport + " " + kSetUpAdvice);
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

void ThrowFolderIsALink(const std::string& folder) {
    throw Error(kErrForeignEntry, "Der Ordner des Suchprogramms " + Quoted(folder) +
                                      " ist eine symbolische Verknüpfung oder Verzeichnisverbindung. Das Suchprogramm "
                                      "wird deshalb nicht gestartet; geändert wird nichts. " + kTellSupport);
}

}  // namespace keil
