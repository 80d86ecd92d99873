#include <cstring>

#include "error.h"

namespace keil {

std::string SystemErrorText(std::int32_t code) {
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text;
}

}  // namespace keil
