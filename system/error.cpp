#include "system/error.h"

namespace keil {

Error::Error(std::int32_t number, const std::string& text)
    : std::runtime_error(text), number_(number) {}

void ThrowHeldByAnother(std::int32_t code, const std::string& what, const std::string& path) {
    constexpr std::int32_t kUserMappedFile = 1224;
    throw Error(code, what + " " + Quoted(path) + " ist von einem anderen Programm " +
                          (code == kUserMappedFile ? "in den Speicher eingeblendet" : "geöffnet") +
                          ", deshalb kann vorerst niemand suchen. " + kTellSupport + " " +
                          HolderSearch(path));
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
            return "Der Datenträger ist voll, oder Ihr Speicherkontingent ist aufgebraucht. Bitten Sie Ihre "
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
