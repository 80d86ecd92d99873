#include "error.h"

namespace keil {

Error::Error(std::int32_t number, const std::string& text)
    : std::runtime_error(text), number_(number) {}

void ThrowOverflow() {
    throw Error(kErrOverflow,
                "Überlauf: Eine Zahl ist für das Programm zu groß geworden, meist weil die Antwort des "
                "Suchprogramms zu lang ist. Die Suche ist abgebrochen; melden Sie den Fehler Ihrer IT-Betreuung.");
}

void ThrowRange() {
    throw Error(kErrRange,
                "Die Antwort des Suchprogramms ist zu kurz oder anders aufgebaut als erwartet, deshalb lässt sich "
                "keine Adresse aus ihr lesen. Starten Sie das Programm neu und suchen Sie erneut; kommt der Fehler "
                "wieder, melden Sie ihn Ihrer IT-Betreuung.");
}

void ThrowEmptyResponse() {
    throw Error(kErrRange,
                "Das Suchprogramm hat keine Antwort geschrieben, deshalb lässt sich keine Adresse anzeigen. "
                "Starten Sie das Programm neu und suchen Sie erneut; kommt der Fehler wieder, melden Sie ihn "
                "Ihrer IT-Betreuung.");
}

void ThrowAllocation() {
    throw Error(kErrAllocation,
                "Für die Antwort des Suchprogramms ist nicht genug Arbeitsspeicher frei. Schließen Sie andere "
                "Programme und starten Sie das Programm neu.");
}

void ThrowNotPlainFile(const std::string& role, const std::string& path, const std::string& found) {
    throw Error(kErrNotPlainFile, "An der Stelle der " + role + " " + Quoted(path) + " steht " + found +
                                      ", keine einfache Datei. Das Programm verändert daran nichts. Lassen Sie den "
                                      "Eintrag von Ihrer IT-Betreuung entfernen und starten Sie das Programm dann neu.");
}

void ThrowReplaced(const std::string& role, const std::string& path) {
    throw Error(kErrReplaced, "Die " + role + " " + Quoted(path) +
                                  " ist während der Suche von einem anderen Programm ersetzt worden. Die fremde "
                                  "Datei bleibt, wie sie ist; melden Sie den Vorfall Ihrer IT-Betreuung.");
}

void ThrowExchangeHelper(const std::string& helper, const std::string& folder) {
    throw Error(kErrExchangeHelper,
                "Das Hilfsprogramm " + Quoted(helper) + " fehlt oder darf im Ordner des Suchprogramms " +
                    Quoted(folder) + " keine Austauschdateien anlegen und löschen. Ihre IT-Betreuung muss prüfen, " +
                    "dass das Hilfsprogramm der Gruppe „keilbrecher“ gehört und das Setgid-Bit trägt und dass der " +
                    "Ordner dieser Gruppe gehört und von ihr beschreibbar ist.");
}

void ThrowLockTaken(const std::string& folder, const std::string& name) {
    throw Error(kErrLockTaken,
                "Ein anderes Programm hält die Sperre für den Ordner des Suchprogramms " + Quoted(folder) +
                    " so, dass dieses Programm sie nicht nehmen kann; solange sucht niemand auf diesem Rechner. " +
                    "Melden Sie das Ihrer IT-Betreuung: Sie muss das Programm beenden, das den Namen " +
                    Quoted(name) + " belegt. Starten Sie das Programm danach neu.");
}

void ThrowLockHeld(const std::string& folder, const std::string& holder, const std::string& name) {
    throw Error(kErrLockHeld,
                "Eine andere Suche hält den Ordner des Suchprogramms " + Quoted(folder) +
                    " seit über einer Minute belegt" + (holder.empty() ? "" : " (" + holder + ")") +
                    ". Solange sucht niemand sonst auf diesem Rechner. Melden Sie den Fehler Ihrer IT-Betreuung." +
                    (name.empty() ? ""
                                  : " Welches Programm die Sperre hält, zeigt ihr eine Suche nach offenen Handles "
                                    "mit dem Namen " + Quoted(name) + "."));
}

void ThrowResponseTooLarge(const std::string& path, long long size) {
    throw Error(kErrResponseTooLarge, "Die " + std::string(kResponseRole) + " " + Quoted(path) + " ist mit " +
                                          std::to_string(size) + " Bytes 2 GiB oder größer und wird nicht " +
                                          "gelesen. Melden Sie den Fehler Ihrer IT-Betreuung.");
}

void ThrowResponseChanged(const std::string& path) {
    throw Error(kErrResponseChanged, "Die " + std::string(kResponseRole) + " " + Quoted(path) +
                                         " ist beim Lesen kürzer geworden: Ein anderes Programm hat sie "
                                         "verändert. Starten Sie das Programm neu und suchen Sie erneut.");
}

void ThrowFileError(std::int32_t code, const std::string& role, const std::string& path, const std::string& done) {
    ThrowSystemError(code, "Die " + role + " " + Quoted(path) + " kann nicht " + done + " werden");
}

std::string Quoted(const std::string& text) { return "„" + text + "“"; }

std::string ExplainSystemError(std::int32_t code) {
    constexpr const char* kTellSupport = "Melden Sie den Fehler Ihrer IT-Betreuung.";
    switch (ClassifySystemError(code)) {
        case SystemFault::kNotFound:
            return "Die Datei oder der Ordner ist nicht vorhanden. Bitten Sie Ihre IT-Betreuung, das "
                   "Suchprogramm und seinen Ordner einzurichten.";
        case SystemFault::kNoPermission:
            return "Dazu fehlt Ihnen die Berechtigung. Hat Ihre IT-Betreuung sie Ihnen gerade erst gegeben, "
                   "melden Sie sich ab und wieder an; sonst bitten Sie sie darum.";
        case SystemFault::kBusy:
            return "Ein anderes Programm benutzt die Datei gerade. Starten Sie das Programm in einigen Minuten "
                   "neu; kommt der Fehler wieder, melden Sie ihn Ihrer IT-Betreuung.";
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
    // Code 0 is no error of the system's: nothing but the advice follows.
    throw Error(code, context + (code == 0 ? ". " : ": ") + ExplainSystemError(code));
}

}  // namespace keil
