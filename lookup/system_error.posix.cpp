#include <locale.h>

#include <cstring>

#include "error.h"

namespace keil {
namespace {

// A German locale where one is installed, whatever the session's language:
// the window speaks German throughout. None where none is installed.
locale_t GermanLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_AT.UTF-8", "de_CH.UTF-8", "de_LU.UTF-8"}) {
        if (const locale_t german = ::newlocale(LC_ALL_MASK, name, nullptr)) return german;
    }
    return nullptr;
}

}  // namespace

std::string SystemErrorText(std::int32_t code) {
    static const locale_t german = GermanLocale();
    if (german != nullptr) return ::strerror_l(code, german);
    // In the session's language. GNU strerror_r may return a static string
    // instead of filling the buffer.
    char buffer[256] = {};
    return strerror_r(code, buffer, sizeof buffer);
}

}  // namespace keil
