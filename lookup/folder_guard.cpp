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
    return SameName(name, InFolderName(ProgramPath()));
}

}  // namespace

bool EntryMayStay(std::string_view name, EntryKind kind, std::string_view ownerSid,
                  std::string_view folderOwnerSid) {
    if (kind == EntryKind::kFile && IsRunsOwnFile(name)) return true;
    if (ownerSid.empty()) return false;
    return ownerSid == folderOwnerSid || std::ranges::find(kAdministrators, ownerSid) != kAdministrators.end();
}

void ThrowForeignEntry(const std::string& path, const std::string& owner, SeenWhen when) {
    const std::string whose = owner.empty() ? "einem Konto, das sich nicht feststellen lässt" : Quoted(owner);
    constexpr const char* kReport =
        " Melden Sie das Ihrer IT-Betreuung und starten Sie das Programm neu, wenn sie den Eintrag geprüft und "
        "entfernt hat.";
    switch (when) {
        case SeenWhen::kBeforeStart:
            throw Error(kErrForeignEntry, "Der Eintrag " + Quoted(path) +
                                              " im Ordner des Suchprogramms gehört nicht einem Administrator, "
                                              "sondern " + whose +
                                              ". Das Suchprogramm könnte ihn laden und wird deshalb nicht gestartet; "
                                              "gelöscht wird nichts." + kReport);
        case SeenWhen::kDuringRun:
            throw Error(kErrForeignEntry, "Während das Suchprogramm lief, ist in seinem Ordner der Eintrag " +
                                              Quoted(path) + " erschienen, der nicht einem Administrator gehört, "
                                              "sondern " + whose +
                                              ". Das Suchprogramm könnte ihn geladen haben; die Adresse wird deshalb "
                                              "nicht angezeigt." + kReport);
        case SeenWhen::kCameAndWent:
            break;
    }
    throw Error(kErrForeignEntry, "Während das Suchprogramm lief, ist in seinem Ordner der Eintrag " + Quoted(path) +
                                      " erschienen und wieder verschwunden. Das Suchprogramm könnte ihn geladen "
                                      "haben; die Adresse wird deshalb nicht angezeigt. Melden Sie das Ihrer "
                                      "IT-Betreuung und starten Sie das Programm neu.");
}

void ThrowWatchOverflow(const std::string& folder) {
    throw Error(kErrForeignEntry, "Während das Suchprogramm lief, hat sich in seinem Ordner " + Quoted(folder) +
                                      " so viel geändert, dass sich nicht prüfen lässt, ob ein fremder Eintrag "
                                      "dazukam. Das Suchprogramm könnte ihn geladen haben; die Adresse wird deshalb "
                                      "nicht angezeigt. Melden Sie das Ihrer IT-Betreuung und starten Sie das "
                                      "Programm neu.");
}

}  // namespace keil
