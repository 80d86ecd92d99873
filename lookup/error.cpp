#include "error.h"

namespace keil {

Error::Error(std::int32_t number, const std::string& text)
    : std::runtime_error(text), number_(number) {}

void ThrowOverflow() {
    throw Error(kErrOverflow,
                "Overflow: a position, size or count left the range of 32-bit arithmetic.");
}

void ThrowRange() {
    throw Error(kErrRange,
                "Out of range: a read fell outside the response of the lookup program "
                "(the response is too short or not laid out as expected).");
}

void ThrowAllocation() {
    throw Error(kErrAllocation, "Out of memory: the buffer for the response could not be made.");
}

void ThrowNotPlainFile(const std::string& role, const std::string& path, const std::string& found) {
    throw Error(kErrNotPlainFile, "The " + role + " \"" + path + "\" is not a plain file: it is " + found +
                                      ". It is left as it is; remove it and look up again.");
}

void ThrowSystemError(std::int32_t code, const std::string& context) {
    throw Error(code, context + ": " + SystemErrorText(code));
}

}  // namespace keil
