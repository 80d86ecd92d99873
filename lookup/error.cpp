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
                "keine Adresse aus ihr lesen. Suchen Sie erneut; kommt der Fehler wieder, melden Sie ihn Ihrer "
                "IT-Betreuung.");
}

void ThrowAllocation() {
    throw Error(kErrAllocation,
                "Für die Antwort des Suchprogramms ist nicht genug Arbeitsspeicher frei. Schließen Sie andere "
                "Programme und suchen Sie erneut.");
}

void ThrowNotPlainFile(const std::string& role, const std::string& path, const std::string& found) {
    throw Error(kErrNotPlainFile, "An der Stelle der " + role + " " + Quoted(path) + " steht " + found +
                                      ", keine einfache Datei. Das Programm verändert daran nichts. Lassen Sie den "
                                      "Eintrag von Ihrer IT-Betreuung entfernen und suchen Sie dann erneut.");
}

void ThrowReplaced(const std::string& role, const std::string& path) {
    throw Error(kErrReplaced, "Die " + role + " " + Quoted(path) +
                                  " ist während der Suche von einem anderen Programm ersetzt worden. Die fremde "
                                  "Datei bleibt, wie sie ist; melden Sie den Vorfall Ihrer IT-Betreuung.");
}

void ThrowResponseTooLarge(const std::string& path, long long size) {
    throw Error(kErrResponseTooLarge, "Die " + std::string(kResponseRole) + " " + Quoted(path) + " ist mit " +
                                          std::to_string(size) + " Bytes 2 GiB oder größer und wird nicht " +
                                          "gelesen. Melden Sie den Fehler Ihrer IT-Betreuung.");
}

void ThrowResponseChanged(const std::string& path) {
    throw Error(kErrResponseChanged, "Die " + std::string(kResponseRole) + " " + Quoted(path) +
                                         " ist beim Lesen kürzer geworden: Ein anderes Programm hat sie "
                                         "verändert. Suchen Sie erneut.");
}

void ThrowFileError(std::int32_t code, const std::string& role, const std::string& path, const std::string& done) {
    ThrowSystemError(code, "Die " + role + " " + Quoted(path) + " kann nicht " + done + " werden");
}

std::string Quoted(const std::string& text) { return "„" + text + "“"; }

void ThrowSystemError(std::int32_t code, const std::string& context) {
    std::string text = context + ": " + SystemErrorText(code);
    if (text.back() != '.') text += '.';
    throw Error(code, text);
}

}  // namespace keil
