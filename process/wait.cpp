#include "process/wait.h"

#include "system/error.h"

namespace keil {

void TakeTurn(WaitHooks* hooks) {
    if (hooks == nullptr) return;
    hooks->Pump();
    if (hooks->Cancelled()) ThrowBrokenOffByClerk();
}

void ThrowBrokenOffByClerk() {
    throw Error(kErrBrokenOffByClerk, "Die Suche wurde auf Ihren Wunsch abgebrochen.");
}

}  // namespace keil
