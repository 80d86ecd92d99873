#include "folder_guard.h"

#include <algorithm>
#include <array>

#include "error.h"
#include "fixed_paths.h"

namespace keil {
namespace {

// The accounts that administer the machine.
constexpr std::array<std::string_view, 3> kAdministrators = {
    "S-1-5-32-544",  // Administrators
    "S-1-5-18",      // SYSTEM
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool StartsWithName(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && SameName(name.substr(0, prefix.size()), prefix);
}

// The name of `path` in the lookup folder.
std::string InFolderName(const std::string& path) { return path.substr(FibuDir().size()); }

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
    for (const std::string& exchange : {InFolderName(RequestFilePath()), InFolderName(ResponseFilePath())}) {
        if (SameName(name, exchange) || IsDeletionRename(name, exchange)) return true;
    }
    return false;
}

constexpr const char* kReport = " Melden Sie den Fehler Ihrer IT-Betreuung.";

std::string Whose(const std::string& owner) {
    return owner.empty() ? "einem Konto, das sich nicht feststellen lässt" : "dem Konto " + Quoted(owner);
}

}  // namespace

bool IsTrustedOwner(std::string_view ownerSid, std::string_view userSid) {
    if (ownerSid.empty()) return false;
    return ownerSid == userSid || std::ranges::find(kAdministrators, ownerSid) != kAdministrators.end();
}

Verdict JudgeEntry(std::string_view name, EntryKind kind, std::string_view ownerSid, std::string_view userSid,
                   std::uint32_t links) {
    if (kind == EntryKind::kFile && IsRunsOwnFile(name)) return Verdict::kMayStay;
    if (!IsTrustedOwner(ownerSid, userSid)) return Verdict::kForeignOwner;
    return kind == EntryKind::kFile && links > 1 ? Verdict::kMoreLinks : Verdict::kMayStay;
}

void ThrowForeignEntry(const std::string& path, const std::string& owner, SeenWhen when, Verdict verdict) {
    const std::string what = verdict == Verdict::kMoreLinks
                                 ? "hat eine weitere feste Verknüpfung an anderer Stelle, über die ihn jemand "
                                   "ändern könnte"
                                 : "gehört weder der IT-Betreuung noch Ihnen, sondern " + Whose(owner);
    switch (when) {
        case SeenWhen::kBeforeStart:
            throw Error(kErrForeignEntry, "Der Eintrag " + Quoted(path) + " im Ordner des Suchprogramms " + what +
                                              ". Das Suchprogramm könnte ihn laden und wird deshalb nicht "
                                              "gestartet; gelöscht wird nichts." + kReport);
        case SeenWhen::kDuringRun:
            throw Error(kErrForeignEntry, "Während das Suchprogramm lief, ist in seinem Ordner der Eintrag " +
                                              Quoted(path) + " erschienen. Er " + what +
                                              ". Das Suchprogramm könnte ihn geladen haben; die Adresse wird "
                                              "deshalb nicht angezeigt." + kReport);
        case SeenWhen::kCameAndWent:
            break;
    }
    throw Error(kErrForeignEntry, "Während das Suchprogramm lief, ist in seinem Ordner der Eintrag " + Quoted(path) +
                                      " erschienen und wieder verschwunden. Das Suchprogramm könnte ihn geladen "
                                      "haben; die Adresse wird deshalb nicht angezeigt." + kReport);
}

void ThrowForeignFolder(const std::string& folder, const std::string& owner, bool isLink) {
    const std::string what = isLink ? "ist eine symbolische Verknüpfung oder Verzeichnisverbindung"
                                    : "gehört weder der IT-Betreuung noch Ihnen, sondern " + Whose(owner);
    throw Error(kErrForeignEntry, "Der Ordner des Suchprogramms " + Quoted(folder) + " " + what +
                                      ". Das Suchprogramm wird deshalb nicht gestartet; gelöscht wird nichts." +
                                      kReport);
}

void ThrowWatchOverflow(const std::string& folder) {
    throw Error(kErrForeignEntry, "Während das Suchprogramm lief, hat sich in seinem Ordner " + Quoted(folder) +
                                      " so viel geändert, dass sich nicht prüfen lässt, ob ein fremder Eintrag "
                                      "dazukam. Das Suchprogramm könnte ihn geladen haben; die Adresse wird deshalb "
                                      "nicht angezeigt." + kReport);
}

}  // namespace keil
