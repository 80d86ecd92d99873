#include "run/checked.h"

namespace keil {

void ThrowOverflow() {
    throw Error(kErrOverflow, std::string("Die Antwort des Suchprogramms ist zu lang, um sie auszuwerten. Die Suche "
                                          "wurde abgebrochen. ") + kTellSupport);
}

void ThrowRange() {
    throw Error(kErrRange, std::string("Die Antwort des Suchprogramms ist anders aufgebaut als erwartet, denn sie "
                                       "hat zu wenige Zeilen, um die Adresse darin zu finden. Deshalb wird keine "
                                       "Adresse angezeigt. ") + kRestartThenReport);
}

}  // namespace keil
