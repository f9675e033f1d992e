#include "model/TViewTransform.h"

#include <algorithm>

namespace ViewArithmetic {

std::optional<TViewEnds> TScaled::Drawn(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2)
{
    constexpr std::int64_t limit = std::int64_t{1} << 28;
    const auto near = [](std::int64_t v) { return v >= -limit && v <= limit; };
    if (near(x1) && near(y1) && near(x2) && near(y2))
        return TViewEnds{static_cast<std::int32_t>(x1), static_cast<std::int32_t>(y1), static_cast<std::int32_t>(x2),
                         static_cast<std::int32_t>(y2)};
    // Liang-Barsky against the box [-limit, limit] on both axes.
    const long double dx = static_cast<long double>(x2 - x1), dy = static_cast<long double>(y2 - y1);
    long double t0 = 0, t1 = 1;
    const auto edge = [&](long double p, long double q) {
        if (p == 0) return q >= 0;
        const long double t = q / p;
        if (p < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!(edge(-dx, static_cast<long double>(x1 + limit)) && edge(dx, static_cast<long double>(limit - x1)) &&
          edge(-dy, static_cast<long double>(y1 + limit)) && edge(dy, static_cast<long double>(limit - y1))))
        return std::nullopt;
    const auto at = [](std::int64_t from, long double d, long double t) {
        return static_cast<std::int32_t>(std::nearbyint(static_cast<long double>(from) + d * t));
    };
    return TViewEnds{at(x1, dx, t0), at(y1, dy, t0), at(x1, dx, t1), at(y1, dy, t1)};
}

} // namespace ViewArithmetic
