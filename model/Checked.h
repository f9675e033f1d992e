#pragma once
// Checked signed 32-bit arithmetic on coordinates, counts and indices: an
// overflow raises "Integer overflow" instead of wrapping.
#include <cstdint>

#include "model/Errors.h"

namespace Checked {

inline std::int32_t Add(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throw EIntOverflow();
    return r;
}

inline std::int32_t Sub(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throw EIntOverflow();
    return r;
}

inline std::int32_t Mul(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw EIntOverflow();
    return r;
}

} // namespace Checked
