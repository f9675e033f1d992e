#pragma once
// Checked signed 32-bit arithmetic on coordinates, counts and indices: an
// overflow raises "Integer overflow" instead of wrapping. g++ and clang
// check with their overflow built-ins, other compilers in 64 bits.
#include <cstdint>
#include <limits>

#include "model/Errors.h"

namespace Checked {

/// The same operations computed in 64 bits, where no sum, difference or
/// product of two 32-bit values overflows: the ones compilers without the
/// overflow built-ins (MSVC) use.
namespace Wide {
inline std::int32_t Narrow(std::int64_t r)
{
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        throw EIntOverflow();
    return static_cast<std::int32_t>(r);
}
inline std::int32_t Add(std::int32_t a, std::int32_t b) { return Narrow(std::int64_t{a} + b); }
inline std::int32_t Sub(std::int32_t a, std::int32_t b) { return Narrow(std::int64_t{a} - b); }
inline std::int32_t Mul(std::int32_t a, std::int32_t b) { return Narrow(std::int64_t{a} * b); }
} // namespace Wide

#if !(defined(__GNUC__) || defined(__clang__))
using Wide::Add;
using Wide::Mul;
using Wide::Sub;
#else

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

#endif

/// A 64-bit value brought into 32 bits, the nearest end standing for any
/// value beyond: for positions where a far-off value only means far off.
inline std::int32_t Saturated(std::int64_t v)
{
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v);
}

} // namespace Checked
