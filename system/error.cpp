#include "error.h"

namespace keil {

Error::Error(std::int32_t number, const std::string& text)
    : std::runtime_error(text), number_(number) {}

namespace {

constexpr const char* kTellSupport = "Melden Sie den Fehler Ihrer IT-Betreuung.";
constexpr const char* kRestart = "Starten Sie den Keilbrecher neu und suchen Sie erneut.";

// `number` with a dot between each group of three digits, as German writes
// large numbers.
std::string Grouped(long long number) {
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && digits[i - 1] != '-' && (digits.size() - i) % 3 == 0) grouped += '.';
        grouped += digits[i];
    }
    return grouped;
}

// How the IT support finds the program that holds the lock `name` (Windows).
std::string HandleSearch(const std::string& name) {
    return " Die IT-Betreuung findet das Programm über eine Suche nach offenen Handles mit dem Namen " + Quoted(name) +
           ".";
}

}  // namespace

void ThrowOverflow() {
    throw Error(kErrOverflow, std::string("Die Antwort des Suchprogramms ist zu lang, um sie auszuwerten. Die Suche "
                                          "ist abgebrochen. ") + kTellSupport);
}

void ThrowRange() {
    throw Error(kErrRange, std::string("Die Antwort des Suchprogramms ist zu kurz oder anders aufgebaut als "
                                       "erwartet, deshalb lässt sich keine Adresse aus ihr lesen. ") + kRestart);
}

void ThrowEmptyResponse() {
    throw Error(kErrRange, std::string("Das Suchprogramm hat keine Antwort geschrieben, deshalb lässt sich keine "
                                       "Adresse anzeigen. ") + kRestart);
}

void ThrowAllocation() {
    throw Error(kErrAllocation, "Für die Antwort des Suchprogramms ist nicht genug Arbeitsspeicher frei. Schließen "
                                "Sie andere Programme und starten Sie den Keilbrecher neu.");
}

void ThrowNotPlainFile(const std::string& role, const std::string& path, const std::string& found) {
    throw Error(kErrNotPlainFile, "An der Stelle der " + role + " " + Quoted(path) + " steht " + found +
                                      ", keine einfache Datei. Der Keilbrecher verändert daran nichts. " +
                                      kTellSupport);
}

void ThrowReplaced(const std::string& role, const std::string& path) {
    throw Error(kErrReplaced, "Die " + role + " " + Quoted(path) +
                                  " ist während der Suche von einem anderen Programm ersetzt worden. Die fremde "
                                  "Datei bleibt, wie sie ist. " + kTellSupport);
}

void ThrowExchangeHelper(const std::string& helper, const std::string& folder) {
    throw Error(kErrExchangeHelper, "Das Hilfsprogramm " + Quoted(helper) +
                                        " fehlt oder darf im Ordner des Suchprogramms " + Quoted(folder) +
                                        " keine Austauschdateien anlegen oder löschen. Deshalb ist keine Suche "
                                        "möglich. " + kTellSupport);
}

void ThrowLockTaken(const std::string& folder, const std::string& name) {
    throw Error(kErrLockTaken, "Ein anderes Programm blockiert die Sperre für den Ordner des Suchprogramms " +
                                   Quoted(folder) + ", deshalb kann auf diesem Rechner niemand suchen. " +
                                   kTellSupport + HandleSearch(name));
}

void ThrowLockHeld(const std::string& folder, const std::string& holder, const std::string& name) {
    throw Error(kErrLockHeld,
                "Eine andere Suche hält den Ordner des Suchprogramms " + Quoted(folder) +
                    " seit über einer Minute belegt" + (holder.empty() ? "" : " (" + holder + ")") +
                    ". Solange sucht niemand sonst auf diesem Rechner. " + kTellSupport +
                    (name.empty() ? "" : HandleSearch(name)));
}

void ThrowResponseTooLarge(const std::string& path, long long size) {
    throw Error(kErrResponseTooLarge, "Die " + std::string(kResponseRole) + " " + Quoted(path) + " ist " +
                                          Grouped(size) + "\u00A0Bytes groß. Der Keilbrecher liest keine Antwort "
                                          "ab 2\u00A0GiB. " + kTellSupport);
}

void ThrowResponseChanged(const std::string& path) {
    throw Error(kErrResponseChanged, "Die " + std::string(kResponseRole) + " " + Quoted(path) +
                                         " ist beim Lesen kürzer geworden, ein anderes Programm hat sie verändert. " +
                                         kRestart);
}

void ThrowFileError(std::int32_t code, const std::string& role, const std::string& path, const std::string& done) {
    ThrowSystemError(code, "Die " + role + " " + Quoted(path) + " kann nicht " + done + " werden");
}

std::string Quoted(const std::string& text) { return "„" + text + "“"; }

std::string ExplainSystemError(std::int32_t code) {
    switch (ClassifySystemError(code)) {
        case SystemFault::kNotFound:
            return "Die Datei oder der Ordner ist nicht vorhanden. Bitten Sie Ihre IT-Betreuung, das "
                   "Suchprogramm und seinen Ordner einzurichten.";
        case SystemFault::kNoPermission:
            return "Ihnen fehlt die nötige Berechtigung. Bitten Sie Ihre IT-Betreuung darum, und melden Sie sich "
                   "danach ab und wieder an.";
        case SystemFault::kBusy:
            return "Ein anderes Programm benutzt die Datei gerade. Starten Sie den Keilbrecher in einigen Minuten "
                   "neu.";
        case SystemFault::kTooManyPrograms:
            return "Der Rechner kann gerade kein weiteres Programm starten, weil zu viele laufen. Schließen Sie "
                   "andere Programme und starten Sie den Keilbrecher neu.";
        case SystemFault::kWrongFormat:
            return kWrongFormatText;
        case SystemFault::kDiskFull:
            return "Der Datenträger ist voll, oder Ihr Speicherplatz ist aufgebraucht. Bitten Sie Ihre "
                   "IT-Betreuung, Platz zu schaffen.";
        case SystemFault::kReadOnly:
            return "Der Datenträger ist schreibgeschützt. " + std::string(kTellSupport);
        case SystemFault::kInputOutput:
            return "Der Datenträger oder das Netzwerk meldet einen Lese- oder Schreibfehler. " +
                   std::string(kTellSupport);
        case SystemFault::kOutOfMemory:
            return kOutOfMemoryText;
        case SystemFault::kOther:
            break;
    }
    std::string system = SystemErrorText(code);
    if (system.empty()) return kTellSupport;
    if (system.back() != '.') system += '.';
    return system + " " + kTellSupport;
}

void ThrowSystemError(std::int32_t code, const std::string& context) {
    throw Error(code, context + ". " + ExplainSystemError(code));
}

}  // namespace keil
