#include "run/checked.h"

namespace keil {

void ThrowOverflow() {
    throw Error(kErrOverflow, std::string("Die Antwort des Suchprogramms ist zu lang, um sie auszuwerten. Die Suche "
                                          "ist abgebrochen. ") + kTellSupport);
}

void ThrowRange() {
    throw Error(kErrRange, std::string("Die Antwort des Suchprogramms ist anders aufgebaut als erwartet, denn ihre "
                                       "letzten zehn Zeilen, in denen die Adresse steht, lassen sich nicht finden. "
                                       "Deshalb wird keine Adresse angezeigt. ") + kRestartThenReport);
}

}  // namespace keil
