#include "error.h"

namespace keil {

Error::Error(std::int32_t number, const std::string& text)
    : std::runtime_error(text), number_(number) {}

namespace {

constexpr const char* kTellSupport = "Melden Sie den Fehler Ihrer IT-Betreuung.";
constexpr const char* kRestart = "Starten Sie den Keilbrecher neu und suchen Sie erneut.";
constexpr const char* kRestartThenReport =
    "Starten Sie den Keilbrecher neu und suchen Sie erneut; kommt der Fehler wieder, melden Sie ihn Ihrer "
    "IT-Betreuung.";

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
    throw Error(kErrRange, std::string("Die Antwort des Suchprogramms ist anders aufgebaut als erwartet, denn ihre "
                                       "letzten zehn Zeilen, in denen die Adresse steht, lassen sich nicht finden. "
                                       "Deshalb wird keine Adresse angezeigt. ") + kRestartThenReport);
}

void ThrowEmptyResponse(std::int32_t exitCode) {
    if (exitCode == 0) {
        throw Error(kErrRange, std::string("Das Suchprogramm hat keine Antwort geschrieben, deshalb lässt sich keine "
                                           "Adresse anzeigen. ") + kRestartThenReport);
    }
    throw Error(kErrRange, "Das Suchprogramm hat keine Antwort geschrieben und endete mit dem Rückgabewert " +
                               std::to_string(exitCode) + ", deshalb lässt sich keine Adresse anzeigen. " +
                               kTellSupport);
}

void ThrowBrokeOff(const std::string& program, const std::string& cause) {
    throw Error(kErrBrokeOff, "Das Suchprogramm " + Quoted(program) + " ist durch " + cause +
                                  " abgebrochen worden; seine Antwort kann unvollständig sein. Deshalb wird keine "
                                  "Adresse angezeigt, und die Austauschdateien bleiben zur Prüfung liegen. " +
                                  kTellSupport);
}

void ThrowCutShort(const std::string& path) {
    throw Error(kErrCutShort, "Der Datenträger der " + std::string(kResponseRole) + " " + Quoted(path) +
                                  " ist voll geworden, während das Suchprogramm schrieb; seine Antwort kann "
                                  "unvollständig sein. Deshalb wird keine Adresse angezeigt. Bitten Sie Ihre "
                                  "IT-Betreuung, Platz zu schaffen, und suchen Sie danach erneut.");
}

void ThrowNoRoom(std::int32_t code, const std::string& path) {
    ThrowSystemError(code, "Für die " + std::string(kResponseRole) + " " + Quoted(path) +
                               " lässt sich kein Platz reservieren");
}

void ThrowStartError(std::int32_t code, const std::string& program) {
    const std::string context = "Das Suchprogramm " + Quoted(program) + " kann nicht gestartet werden";
    // Held by another program: how the IT support finds it (Windows).
    if (ClassifySystemError(code) == SystemFault::kBusy) ThrowHeldByAnother(code, "Das Suchprogramm", program);
    // Not the clerk's rights: the file or its folder does not allow it to run.
    if (ClassifySystemError(code) == SystemFault::kNoPermission) {
        throw Error(code, context + ". Die Datei lässt sich nicht als Programm ausführen, weil sie nicht ausführbar "
                                    "oder ein Ordner ist oder ihr Laufwerk keine Programme erlaubt. Bitten Sie Ihre "
                                    "IT-Betreuung, das Suchprogramm neu einzurichten.");
    }
    ThrowSystemError(code, context);
}

void ThrowHelperEnded(const std::string& helper) {
    throw Error(kErrHelperFailed, "Das Hilfsprogramm " + Quoted(helper) +
                                      " hat während der Suche unerwartet geendet und die Austauschdateien nicht mehr "
                                      "gelöscht. Eine angezeigte Adresse stammt aus dieser Suche. " +
                                      kRestartThenReport);
}

void ThrowHelperNotAnswering(const std::string& helper, long long pid) {
    throw Error(kErrHelperFailed, "Das Hilfsprogramm " + Quoted(helper) + " (Prozess " + std::to_string(pid) +
                                      ") antwortet nicht, obwohl keine andere Suche den Ordner des Suchprogramms "
                                      "belegt; es ist angehalten oder hängt. " + kRestartThenReport);
}

void ThrowHeldByAnother(std::int32_t code, const std::string& what, const std::string& path) {
    constexpr std::int32_t kUserMappedFile = 1224;
    throw Error(code, what + " " + Quoted(path) + " ist von einem anderen Programm " +
                          (code == kUserMappedFile ? "in den Speicher eingeblendet" : "geöffnet") +
                          ", deshalb kann vorerst niemand suchen. " + kTellSupport + " " +
                          HolderSearch(path));
}

void ThrowReadOnly(const std::string& role, const std::string& path) {
    constexpr std::int32_t kAccessDenied = 5;
    throw Error(kAccessDenied, "Die " + role + " " + Quoted(path) +
                                   " ist schreibgeschützt, deshalb kann keine Suche sie beschreiben. " + kTellSupport +
                                   " Die IT-Betreuung legt sie mit dem Skript „keilbrecher-ordner-einrichten.cmd“ "
                                   "neu an.");
}

void ThrowExtraLink(const std::string& role, const std::string& path, unsigned long links) {
    throw Error(kErrNotPlainFile, "Die " + role + " " + Quoted(path) + " hat " + std::to_string(links) +
                                      " feste Verknüpfungen, weil jemand ihr einen weiteren Namen an anderer Stelle "
                                      "gegeben hat; deshalb kann auf diesem Rechner vorerst niemand suchen. " +
                                      kTellSupport + " Die IT-Betreuung findet die anderen Namen mit " +
                                      Quoted("fsutil hardlink list " + path) + " und löscht sie.");
}

void ThrowBrokenOffByClerk() {
    throw Error(kErrBrokenOffByClerk, "Die Suche ist auf Ihren Wunsch abgebrochen worden.");
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

std::string Grouped(long long number) {
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && digits[i - 1] != '-' && (digits.size() - i) % 3 == 0) grouped += '.';
        grouped += digits[i];
    }
    return grouped;
}

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
