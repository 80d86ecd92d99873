#include "shared_folder/exchange_file.h"

#include "system/error.h"

namespace keil {

ResponseRoom::ResponseRoom(ExchangeFile& response) : response_(response) {
    switch (response_.Reserve(kResponseRoom)) {
        case ExchangeFile::Reserved::kDone:
            reservedEnd_ = kResponseRoom;
            return;
        case ExchangeFile::Reserved::kNoRoom:
            ThrowNoRoom(kDiskFullCode, response_.path());
        case ExchangeFile::Reserved::kCannot:
            reserving_ = false;
            if (response_.FreeRoom() < kResponseRoom) ThrowNoRoom(kDiskFullCode, response_.path());
            return;
    }
}

void ResponseRoom::Keep() {
    if (!reserving_) {
        low_ = low_ || response_.FreeRoom() < kResponseRoom;
        return;
    }
    const std::int64_t end = reservedEnd_;
    const std::int64_t size = response_.Size();
    if (size >= end) outran_ = true;
    if (outran_ || end - size >= kResponseRoom / 2) return;
    if (response_.Reserve(size + kResponseRoom) == ExchangeFile::Reserved::kDone) {
        reservedEnd_ = size + kResponseRoom;
    } else {
        low_ = true;
    }
    // The response may have passed the old end while the room was being
    // reserved; which came first cannot be told.
    if (response_.Size() >= end) outran_ = true;
}

ResponseRoom::Verdict ResponseRoom::verdict() const {
    if (!reserving_) return low_ ? Verdict::kDiskFull : Verdict::kWhole;
    if (!outran_) return Verdict::kWhole;
    return low_ || response_.FreeRoom() < kResponseRoom ? Verdict::kDiskFull : Verdict::kOutran;
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

void ThrowNoRoom(std::int32_t code, const std::string& path) {
    ThrowSystemError(code, "Für die " + std::string(kResponseRole) + " " + Quoted(path) +
                               " lässt sich kein Platz reservieren");
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

}  // namespace keil
