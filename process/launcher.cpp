#include "process/launcher.h"

#include <utility>

#include "system/error.h"

namespace keil {

CommandParts SplitCommandLine(const std::string& commandLine) {
    const auto input = commandLine.find(" <");
    const auto output = commandLine.rfind(" >");
    if (input == std::string::npos || output == std::string::npos || output < input + 2) {
        throw Error(kErrCommandLine, "Die Befehlszeile " + Quoted(commandLine) +
                                         " für das Suchprogramm hat nicht die Form „Programm <Eingabe >Ausgabe“. Melden Sie "
                                         "den Fehler Ihrer IT-Betreuung.");
    }
    CommandParts parts{commandLine.substr(0, input),
                       commandLine.substr(input + 2, output - input - 2),
                       commandLine.substr(output + 2)};
    if (parts.program.empty() || parts.input.empty() || parts.output.empty()) {
        throw Error(kErrCommandLine, "Der Befehlszeile " + Quoted(commandLine) +
                                         " für das Suchprogramm fehlt das Programm, die Eingabe oder die "
                                         "Ausgabe. Melden Sie den Fehler Ihrer IT-Betreuung.");
    }
    return parts;
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

std::string FolderOf(const std::string& program) {
    const auto separator = program.find_last_of("\\/");
    return separator == std::string::npos ? "" : program.substr(0, separator + 1);
}

}  // namespace keil
