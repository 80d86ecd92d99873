#pragma once

// Checked 32-bit arithmetic and checked buffer access: a result that does
// not fit raises the overflow error, an index outside a buffer the range
// error.
//
// Why 32 bits, and why checked: the run and the extraction keep positions,
// sizes and counts in 32-bit signed integers, as the lookup program's
// responses are sized (a response of 2 GiB or more is refused before it is
// read). An addition that wrapped would give a negative or far position and
// cut a block out of the wrong place, differently on each platform and
// compiler; checked, every such case is the same error everywhere, and a
// response that the fuzz target feeds in can make no position wrap unseen.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "system/error.h"

namespace keil {

// The overflow error: a position, size or count that does not fit 32 bits.
[[noreturn]] void ThrowOverflow();
// The range error: an index outside its buffer, which the extraction meets
// in a response without the block's lines.
[[noreturn]] void ThrowRange();

inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r)) ThrowOverflow();
    return r;
}

inline std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) ThrowOverflow();
    return r;
}

inline std::int32_t CheckedMul(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) ThrowOverflow();
    return r;
}

// Narrows any integer to 32 bits signed, or raises the overflow error.
template <typename T>
std::int32_t CheckedInt32(T value) {
    std::int32_t r;
    if (__builtin_add_overflow(value, 0, &r)) ThrowOverflow();
    return r;
}

// Element `index` of `buffer`, or the range error.
template <typename T>
T CheckedAt(std::span<const T> buffer, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= buffer.size()) ThrowRange();
    return buffer[static_cast<std::size_t>(index)];
}

}  // namespace keil
