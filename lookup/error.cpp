#include "error.h"

namespace keil {

Error::Error(std::int32_t number, const std::string& text)
    : std::runtime_error(text), number_(number) {}

void ThrowOverflow() {
    throw Error(kErrOverflow,
                "Überlauf: Eine Position, Größe oder Anzahl hat den Bereich der 32-Bit-Arithmetik verlassen.");
}

void ThrowRange() {
    throw Error(kErrRange,
                "Außerhalb des Bereichs: Ein Lesezugriff lag außerhalb der Antwort des Suchprogramms "
                "(die Antwort ist zu kurz oder nicht wie erwartet aufgebaut).");
}

void ThrowAllocation() {
    throw Error(kErrAllocation, "Zu wenig Speicher: Der Puffer für die Antwort konnte nicht angelegt werden.");
}

void ThrowNotPlainFile(const std::string& role, const std::string& path, const std::string& found) {
    throw Error(kErrNotPlainFile, "Die " + role + " " + Quoted(path) + " ist keine gewöhnliche Datei, sondern " +
                                      found + ". Sie bleibt, wie sie ist; entfernen Sie sie und suchen Sie erneut.");
}

void ThrowResponseTooLarge(const std::string& path, long long size) {
    throw Error(kErrResponseTooLarge, "Die Datei " + Quoted(path) + " ist 2 GiB oder größer und wird nicht " +
                                          "gelesen (" + std::to_string(size) + " Bytes).");
}

void ThrowResponseChanged(const std::string& path) {
    throw Error(kErrResponseChanged, "Die Datei " + Quoted(path) + " ist beim Lesen kürzer geworden.");
}

void ThrowFileError(std::int32_t code, const std::string& path, const std::string& done) {
    ThrowSystemError(code, "Die Datei " + Quoted(path) + " kann nicht " + done + " werden");
}

std::string Quoted(const std::string& text) { return "„" + text + "“"; }

void ThrowSystemError(std::int32_t code, const std::string& context) {
    throw Error(code, context + ": " + SystemErrorText(code));
}

}  // namespace keil
