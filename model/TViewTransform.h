#pragma once
// The main view's transform: the part of the world the view shows and its
// scale, with every rule that depends on them: world to pixel and back, the
// reach of the mouse, whether a line is in view, distances in pixels. Drawing,
// picking, snapping, moving ends and the window all ask it.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <type_traits>

#include "model/Checked.h"
#include "model/Errors.h"
#include "model/TLine.h"
#include "model/TViewZoom.h"

/// A point in view (or world) coordinates.
struct TPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

/// A point computed in 64 bits, before it is brought into 32 (TViewTransform::Narrow).
struct TWidePoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

/// A rectangle of the world, its edges included: x1 <= x2, y1 <= y2.
struct TWorldRect {
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

/// An element's ends in view coordinates.
struct TViewEnds {
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

namespace ViewArithmetic {

/// Scale 1: view coordinates are world coordinates less the origin, in the
/// checked 32-bit arithmetic of every coordinate, so a view position, a
/// product or a sum of squares that leaves 32 bits raises "Integer overflow"
/// exactly where the world's own arithmetic would.
struct TUnit {
    using Number = std::int32_t;
    static void Overflowed() { throw EIntOverflow(); }
    /// The view coordinate of world coordinate w in a view whose origin is at origin.
    static Number Coordinate(std::int32_t w, std::int32_t origin) { return Checked::Sub(w, origin); }
    static Number Sub(Number a, Number b) { return Checked::Sub(a, b); }
    static Number Add(Number a, Number b) { return Checked::Add(a, b); }
    static Number Mul(Number a, Number b) { return Checked::Mul(a, b); }
    static Number Abs(Number a) { return a < 0 ? Checked::Sub(0, a) : a; }
    static double Hypot(Number a, Number b) { return VectorLength(a, b); }
    /// True when the vector (a, b) is shorter than r.
    static bool Shorter(Number a, Number b, double r) { return Hypot(a, b) < r; }
    /// Ends that Shows accepted fit in 32 bits as they are.
    static std::optional<TViewEnds> Drawn(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2)
    {
        return TViewEnds{Checked::Wide::Narrow(x1), Checked::Wide::Narrow(y1), Checked::Wide::Narrow(x2),
                         Checked::Wide::Narrow(y2)};
    }
};

/// Other scales: unrounded pixels in double precision, which no element can
/// overflow; positions saturate, and drawn ends too far for the canvas are
/// cut back along their line.
struct TScaled {
    using Number = double;
    double Scale = 1;
    static void Overflowed() {}
    Number Coordinate(std::int32_t w, std::int32_t origin) const
    {
        return (static_cast<double>(w) - origin) * Scale;
    }
    static Number Sub(Number a, Number b) { return a - b; }
    static Number Add(Number a, Number b) { return a + b; }
    static Number Mul(Number a, Number b) { return a * b; }
    static Number Abs(Number a) { return std::fabs(a); }
    static double Hypot(Number a, Number b) { return std::hypot(a, b); }
    static bool Shorter(Number a, Number b, double r) { return std::fabs(a) < r && std::fabs(b) < r && Hypot(a, b) < r; }
    /// Pixels beyond 2^28 (only in a map that was never normalised) are cut
    /// back along the line to a box far outside the view, which keeps the
    /// pixels the line paints inside it; nothing when the line misses the box.
    static std::optional<TViewEnds> Drawn(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);
};

} // namespace ViewArithmetic

/// The main view: which world point its top-left pixel shows, its size in
/// pixels and its scale. A world point x lies on the pixel floor((x - X) *
/// scale) and the pixel p shows the world point X + floor(p / scale).
///
/// The rules are written once for every scale. The one thing the scale
/// changes is the arithmetic (ViewArithmetic, chosen in WithArithmetic): at
/// scale 1 it is the checked 32-bit arithmetic of world coordinates, whose
/// overflow raises "Integer overflow", elsewhere double precision, where
/// positions saturate instead.
struct TViewTransform {
    /// How far the mouse reaches, in pixels at every scale: picking, snapping
    /// and the press that moves an end.
    static constexpr std::int32_t Reach = 5;

    /// The world point at the view's top-left pixel.
    std::int32_t X = 0;
    std::int32_t Y = 0;
    /// The view's size in pixels.
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    TViewZoom Zoom;

    friend bool operator==(const TViewTransform&, const TViewTransform&) = default;

    /// The world width and height the view shows: floor(pixels / scale).
    std::int32_t ExtentX() const { return Zoom.Extent(Width); }
    std::int32_t ExtentY() const { return Zoom.Extent(Height); }

    /// A position computed in 64 bits, brought into 32: at scale 1 one that
    /// leaves 32 bits raises the overflow error, elsewhere it saturates.
    TPoint Narrow(TWidePoint p) const
    {
        return WithArithmetic([&](auto a) { return TPoint{NarrowWith(a, p.x), NarrowWith(a, p.y)}; });
    }
    /// The world point that view point (px, py) shows, in 64 bits.
    TWidePoint WideWorld(std::int32_t px, std::int32_t py) const
    {
        return {X + Zoom.ToWorld(px), Y + Zoom.ToWorld(py)};
    }
    /// The world point that view point (px, py) shows.
    TPoint ToWorld(std::int32_t px, std::int32_t py) const { return Narrow(WideWorld(px, py)); }
    /// The pixel on which the world point (x, y) is drawn.
    TPoint ToView(std::int32_t x, std::int32_t y) const
    {
        return Narrow({Zoom.ToPixels(std::int64_t{x} - X), Zoom.ToPixels(std::int64_t{y} - Y)});
    }

    /// The in-view test: false when both ends of line lie beyond the same
    /// edge of the view (an end whose pixel is the view's width or height is
    /// still inside). Such a line draws nothing and cannot be picked or
    /// snapped to.
    /// At scale 1 a line whose view coordinates leave 32 bits raises.
    bool Shows(const TLine& line) const { return ShowsIn(Box(), line); }
    /// Calls visit(k), in index order, for each k below count whose item
    /// Shows accepts. Most elements of a large map lie far from the view, so
    /// the test runs branch-free on batches of eight with one overflow test a
    /// batch, which keeps a scan near memory speed.
    template <class T, class Visit>
    void VisitShown(const T* items, std::size_t count, Visit visit) const;
    /// The same for the items that candidates names (ascending), up to the
    /// first at or beyond count.
    template <class T, class Visit>
    void VisitShown(const T* items, std::span<const std::int32_t> candidates, std::size_t count, Visit visit) const
    {
        const TBox box = Box();
        for (const std::int32_t i : candidates) {
            const auto k = static_cast<std::size_t>(i);
            if (k >= count) break;
            if (ShowsIn(box, items[k])) visit(k);
        }
    }
    /// The world rectangle the view shows: every line that Shows accepts reaches into it.
    TWorldRect Shown() const
    {
        return {X, Y, Checked::Saturated(std::int64_t{X} + Zoom.Span(Width)),
                Checked::Saturated(std::int64_t{Y} + Zoom.Span(Height))};
    }
    /// The ends to draw, or nothing for a line the view does not show.
    std::optional<TViewEnds> VisibleEnds(const TLine& line) const
    {
        if (!Shows(line)) return std::nullopt;
        const std::int64_t x1 = Zoom.ToPixels(std::int64_t{line.X1} - X), y1 = Zoom.ToPixels(std::int64_t{line.Y1} - Y);
        const std::int64_t x2 = Zoom.ToPixels(std::int64_t{line.X2} - X), y2 = Zoom.ToPixels(std::int64_t{line.Y2} - Y);
        return WithArithmetic([&](auto a) { return a.Drawn(x1, y1, x2, y2); });
    }

    /// Distance in pixels from view point (px, py) to the segment, or
    /// FarDistance when the view does not show it: picking.
    double Distance(const TLine& line, std::int32_t px, std::int32_t py) const
    {
        if (!Shows(line)) return FarDistance;
        return WithArithmetic([&](auto a) {
            const auto x1 = a.Coordinate(line.X1, X), y1 = a.Coordinate(line.Y1, Y);
            const auto x2 = a.Coordinate(line.X2, X), y2 = a.Coordinate(line.Y2, Y);
            const auto a1 = a.Sub(x1, px), b1 = a.Sub(y1, py), a2 = a.Sub(x2, px), b2 = a.Sub(y2, py);
            // At or before the first end, at or beyond the second, or beside the line.
            if (a.Add(a.Mul(a.Sub(x1, x2), a1), a.Mul(a.Sub(y1, y2), b1)) <= 0) return a.Hypot(a1, b1);
            if (a.Add(a.Mul(a.Sub(x2, x1), a2), a.Mul(a.Sub(y2, y1), b2)) <= 0) return a.Hypot(a2, b2);
            const double cross = a.Abs(a.Sub(a.Mul(a1, b2), a.Mul(b1, a2)));
            return cross / a.Hypot(a.Sub(x2, x1), a.Sub(y2, y1));
        });
    }
    /// True when the world point (x, y) is drawn closer than Reach to view
    /// point (px, py): snapping. At scale 1 a distance whose square leaves
    /// 32 bits raises.
    bool WithinReach(std::int32_t x, std::int32_t y, std::int32_t px, std::int32_t py) const
    {
        return WithArithmetic([&](auto a) {
            return a.Shorter(a.Sub(px, a.Coordinate(x, X)), a.Sub(py, a.Coordinate(y, Y)), Reach);
        });
    }
    /// The squared distance in pixels from view point (px, py) to where the
    /// world point (x, y) is drawn, when it is closer than Reach; else -1.
    /// In double precision at every scale, so it never raises: the press that
    /// moves an end asks it of every end.
    double ReachDistance2(std::int32_t x, std::int32_t y, std::int32_t px, std::int32_t py) const
    {
        const ViewArithmetic::TScaled a{Zoom.Scale()};
        const double dx = a.Coordinate(x, X) - px, dy = a.Coordinate(y, Y) - py;
        const double d2 = dx * dx + dy * dy;
        return d2 < Reach * Reach ? d2 : -1.0;
    }
    /// The world rectangle that holds every world point drawn within Reach
    /// of view point (px, py), and meets the box of every line within it:
    /// the world points at the pixel's corner, rounded down and up, widened
    /// by the reach in whole units.
    TWorldRect AroundPoint(std::int32_t px, std::int32_t py) const
    {
        const std::int32_t reach = Zoom.Extent(Reach);
        const auto low = [&](std::int32_t origin, std::int32_t p) { return Checked::Saturated(origin + Zoom.ToWorld(p) - reach); };
        const auto high = [&](std::int32_t origin, std::int32_t p) {
            return Checked::Saturated(origin - Zoom.ToWorld(-std::int64_t{p}) + reach);
        };
        return {low(X, px), low(Y, py), high(X, px), high(Y, py)};
    }

    /// The origin at which the map follows the mouse from view point from to
    /// to, to the nearest world unit: panning.
    TPoint PannedOrigin(TPoint from, TPoint to) const
    {
        const double scale = Zoom.Scale();
        const auto origin = [scale](std::int32_t start, std::int32_t a, std::int32_t b) {
            return start - static_cast<std::int64_t>(std::nearbyint((static_cast<double>(b) - a) / scale));
        };
        return Narrow({origin(X, from.x, to.x), origin(Y, from.y, to.y)});
    }
    /// The origin at the scale zoom that keeps the world point under view
    /// point (px, py) where it is.
    TPoint OriginZoomedAbout(TViewZoom zoom, std::int32_t px, std::int32_t py) const
    {
        return {Checked::Saturated(X + Zoom.ToWorld(px) - zoom.ToWorld(px)),
                Checked::Saturated(Y + Zoom.ToWorld(py) - zoom.ToWorld(py))};
    }

private:
    /// The view's edges for the in-view test, in world offsets from the origin.
    struct TBox {
        std::int32_t X, Y, SpanX, SpanY;
        /// Shows without raising: a view coordinate that leaves 32 bits sets a
        /// bit of overflow above bit 31 instead. 64-bit differences and no
        /// branches, as it runs for every element on every frame.
        bool Reaches(const TLine& line, std::uint64_t& overflow) const noexcept
        {
            const std::int64_t x1 = std::int64_t{line.X1} - X;
            const std::int64_t y1 = std::int64_t{line.Y1} - Y;
            const std::int64_t x2 = std::int64_t{line.X2} - X;
            const std::int64_t y2 = std::int64_t{line.Y2} - Y;
            constexpr std::int64_t bias = std::int64_t{1} << 31;
            overflow |= static_cast<std::uint64_t>(x1 + bias) | static_cast<std::uint64_t>(y1 + bias) |
                        static_cast<std::uint64_t>(x2 + bias) | static_cast<std::uint64_t>(y2 + bias);
            const bool left = (x1 & x2) < 0; // both signs negative
            const bool above = (y1 & y2) < 0;
            const bool right = (x1 < x2 ? x1 : x2) > SpanX;
            const bool below = (y1 < y2 ? y1 : y2) > SpanY;
            return !(left | right | above | below);
        }
    };
    /// The greatest world offsets whose pixels are at most the view's size:
    /// a line with both ends further lies wholly beyond that edge.
    TBox Box() const { return {X, Y, Zoom.Span(Width), Zoom.Span(Height)}; }
    bool ShowsIn(const TBox& box, const TLine& line) const
    {
        std::uint64_t overflow = 0;
        const bool shown = box.Reaches(line, overflow);
        if (overflow >> 32) WithArithmetic([](auto a) { a.Overflowed(); });
        return shown;
    }

    /// Calls f with the view's arithmetic: the one place where the scale decides.
    template <class F>
    std::invoke_result_t<F&, ViewArithmetic::TUnit> WithArithmetic(F f) const
    {
        if (Zoom.IsOne()) return f(ViewArithmetic::TUnit{});
        return f(ViewArithmetic::TScaled{Zoom.Scale()});
    }
    template <class A>
    static std::int32_t NarrowWith(const A& a, std::int64_t v)
    {
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) a.Overflowed();
        return Checked::Saturated(v);
    }
};

template <class T, class Visit>
void TViewTransform::VisitShown(const T* items, std::size_t count, Visit visit) const
{
    constexpr std::size_t batch = 8;
    constexpr std::size_t prefetchAhead = 32;
    const TBox box = Box();
    std::size_t i = 0;
    for (; i + batch <= count; i += batch) {
        // The hardware prefetcher alone leaves the scan waiting on memory.
        const std::uintptr_t ahead = reinterpret_cast<std::uintptr_t>(items + i) + prefetchAhead * sizeof(T);
#if defined(__GNUC__) || defined(__clang__)
        for (std::size_t b = 0; b < batch * sizeof(T); b += 64) __builtin_prefetch(reinterpret_cast<const void*>(ahead + b));
#else
        (void)ahead;
#endif
        std::uint64_t overflow = 0;
        unsigned within = 0;
        for (std::size_t k = 0; k < batch; ++k) within |= unsigned{box.Reaches(items[i + k], overflow)} << k;
        if (overflow >> 32) {
            // One at a time, so that an overflow is raised at its own element,
            // after the elements before it.
            for (std::size_t k = i; k < i + batch; ++k)
                if (ShowsIn(box, items[k])) visit(k);
            continue;
        }
        for (; within != 0; within &= within - 1) visit(i + static_cast<std::size_t>(std::countr_zero(within)));
    }
    for (; i < count; ++i)
        if (ShowsIn(box, items[i])) visit(i);
}
