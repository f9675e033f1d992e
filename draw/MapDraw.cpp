#include "draw/MapDraw.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>
#include <vector>

#include "model/Checked.h"

namespace {

constexpr TColor StartRailColor = 0x8888FF;
constexpr TColor FinishRailColor = 0x88FF88;
constexpr TColor RailColor = 0xAAAAAA;
constexpr TColor SnapColor = 0x00FF00;

/// An element's ends in view coordinates.
struct TViewEnds {
    std::int32_t x1, y1, x2, y2;
};

TViewEnds ViewEnds(const TLine& line, std::int32_t viewX, std::int32_t viewY)
{
    return {Checked::Sub(line.X1, viewX), Checked::Sub(line.Y1, viewY), Checked::Sub(line.X2, viewX),
            Checked::Sub(line.Y2, viewY)};
}

/// True when both ends lie beyond the same edge of the view; an end exactly on
/// the right or bottom edge is still inside.
template <typename T>
bool IsHidden(const T& e, std::int32_t viewWidth, std::int32_t viewHeight)
{
    return (e.x1 < 0 && e.x2 < 0) || (e.x1 > viewWidth && e.x2 > viewWidth) || (e.y1 < 0 && e.y2 < 0) ||
           (e.y1 > viewHeight && e.y2 > viewHeight);
}

/// An element's ends in pixels at a scale other than 1, or nothing when it is
/// hidden. Scaling never overflows: an end too far for 32-bit pixels (only in
/// a map that was never normalised) is cut back along its line to a box far
/// outside the view, which keeps the pixels the line paints inside it.
std::optional<TViewEnds> ScaledEnds(const TLine& line, std::int32_t viewX, std::int32_t viewY,
                                    std::int32_t viewWidth, std::int32_t viewHeight, TViewZoom zoom)
{
    struct {
        std::int64_t x1, y1, x2, y2;
    } e{zoom.ToPixels(std::int64_t{line.X1} - viewX), zoom.ToPixels(std::int64_t{line.Y1} - viewY),
        zoom.ToPixels(std::int64_t{line.X2} - viewX), zoom.ToPixels(std::int64_t{line.Y2} - viewY)};
    if (IsHidden(e, viewWidth, viewHeight)) return std::nullopt;
    constexpr std::int64_t limit = std::int64_t{1} << 28;
    const auto near = [](std::int64_t v) { return v >= -limit && v <= limit; };
    if (near(e.x1) && near(e.y1) && near(e.x2) && near(e.y2))
        return TViewEnds{static_cast<std::int32_t>(e.x1), static_cast<std::int32_t>(e.y1),
                         static_cast<std::int32_t>(e.x2), static_cast<std::int32_t>(e.y2)};
    // Liang-Barsky against the box [-limit, limit] on both axes.
    const long double dx = static_cast<long double>(e.x2 - e.x1), dy = static_cast<long double>(e.y2 - e.y1);
    long double t0 = 0, t1 = 1;
    const auto edge = [&](long double p, long double q) {
        if (p == 0) return q >= 0;
        const long double t = q / p;
        if (p < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!(edge(-dx, static_cast<long double>(e.x1 + limit)) && edge(dx, static_cast<long double>(limit - e.x1)) &&
          edge(-dy, static_cast<long double>(e.y1 + limit)) && edge(dy, static_cast<long double>(limit - e.y1))))
        return std::nullopt;
    const auto at = [](std::int64_t from, long double d, long double t) {
        return static_cast<std::int32_t>(std::nearbyint(static_cast<long double>(from) + d * t));
    };
    return TViewEnds{at(e.x1, dx, t0), at(e.y1, dy, t0), at(e.x1, dx, t1), at(e.y1, dy, t1)};
}

/// The ends to draw, or nothing for a hidden element: plain differences at
/// scale 1, scaled ones otherwise.
std::optional<TViewEnds> VisibleEnds(const TLine& line, std::int32_t viewX, std::int32_t viewY,
                                     std::int32_t viewWidth, std::int32_t viewHeight, TViewZoom zoom)
{
    if (!zoom.IsOne()) return ScaledEnds(line, viewX, viewY, viewWidth, viewHeight, zoom);
    const TViewEnds e = ViewEnds(line, viewX, viewY);
    if (IsHidden(e, viewWidth, viewHeight)) return std::nullopt;
    return e;
}

/// Draws, in index order, the elements of a large map that the grid says may
/// reach the view; the others would draw nothing. Only used where the grid
/// answers, whose bounds on the view keep these sums inside 32 bits.
template <typename T, typename DrawOne>
void DrawNearView(const std::vector<T>& items, const TMap& map, DrawOne drawOne)
{
    const std::int32_t right = map.ViewX + map.Zoom.Span(map.ViewWidth);
    const std::int32_t bottom = map.ViewY + map.Zoom.Span(map.ViewHeight);
    std::vector<std::int32_t> candidates;
    if constexpr (std::is_same_v<T, TRail>)
        map.RailsNear(map.ViewX, map.ViewY, right, bottom, candidates);
    else
        map.BordersNear(map.ViewX, map.ViewY, right, bottom, candidates);
    for (const std::int32_t i : candidates) drawOne(items[static_cast<std::size_t>(i)]);
}

/// Draws the elements in index order. The visibility test runs branch-free on
/// batches of eight, since most elements of a large map lie far from the view;
/// a batch where a view coordinate would leave 32 bits goes element by element
/// through draw, whose own test raises the overflow error at the right one.
template <typename T, typename DrawOne>
void DrawVisible(const std::vector<T>& items, const TMap& map, DrawOne drawOne)
{
    if (map.UsesIndexAt(0, 0)) {
        DrawNearView(items, map, drawOne);
        return;
    }
    constexpr std::size_t batch = 8;
    const std::size_t count = items.size();
    // The world rectangle whose elements reach the view's pixels.
    const std::int32_t spanX = map.Zoom.Span(map.ViewWidth);
    const std::int32_t spanY = map.Zoom.Span(map.ViewHeight);
    std::size_t i = 0;
    for (; i + batch <= count; i += batch) {
        std::uint64_t overflow = 0;
        unsigned within = 0;
        for (std::size_t k = 0; k < batch; ++k)
            within |= unsigned{items[i + k].IsWithinView(map.ViewX, map.ViewY, spanX, spanY, overflow)}
                      << k;
        if (overflow >> 32) {
            for (std::size_t k = 0; k < batch; ++k) drawOne(items[i + k]);
            continue;
        }
        for (; within != 0; within &= within - 1) drawOne(items[i + static_cast<std::size_t>(std::countr_zero(within))]);
    }
    for (; i < count; ++i) drawOne(items[i]);
}

/// Far out a unit is a small part of a pixel and a map of a million elements
/// fills the view: each element is then its line alone, one pixel wide unless
/// selected, without arrow head or end circles.
bool IsFarOut(TViewZoom zoom) { return zoom.Shift <= FarOutShift; }

/// Round with halves to even, as a checked 32-bit value.
std::int32_t RoundToInt(long double value)
{
    const long double r = std::nearbyint(value);
    if (!(r >= std::numeric_limits<std::int32_t>::min() && r <= std::numeric_limits<std::int32_t>::max()))
        throw EIntOverflow();
    return static_cast<std::int32_t>(r);
}

std::int32_t BorderPenWidth(const TBorder& border)
{
    const std::int32_t selected = border.Selected ? 1 : 0;
    switch (border.Kind) {
    case bkWall: return selected * 3 + 2;
    case bkHighWall:
    case bkArch: return selected * 3 + 3;
    default: return selected * 3 + 1;
    }
}

} // namespace

void DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y, std::uint8_t placing)
{
    DrawView(map, canvas);
    DrawSnap(map, canvas, x, y, placing);
}

void DrawSnap(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y, std::uint8_t placing)
{
    bool snapped = false;
    const TPoint p = map.SnapPointEx(x, y, placing, snapped);
    if (snapped) DrawSnapMarker(canvas, p.x, p.y);
}

void DrawView(const TMap& map, TCanvas& canvas)
{
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clBlack);
    canvas.Rectangle(0, 0, map.ViewWidth, map.ViewHeight);
    DrawVisible(map.Borders(), map, [&](const TBorder& border) {
        DrawBorder(border, canvas, map.ViewX, map.ViewY, map.ViewWidth, map.ViewHeight, map.Zoom);
    });
    DrawVisible(map.Rails(), map, [&](const TRail& rail) {
        DrawRail(rail, canvas, map.ViewX, map.ViewY, map.ViewWidth, map.ViewHeight, map.Zoom);
    });
}

void DrawRail(const TRail& rail, TCanvas& canvas, std::int32_t viewX, std::int32_t viewY, std::int32_t viewWidth,
              std::int32_t viewHeight, TViewZoom zoom)
{
    const std::optional<TViewEnds> visible = VisibleEnds(rail, viewX, viewY, viewWidth, viewHeight, zoom);
    if (!visible) return;
    const TViewEnds& e = *visible;
    canvas.SetPenWidth((rail.Selected ? 1 : 0) * 2 + 1);
    canvas.SetPenColor(rail.IsStart ? StartRailColor : rail.IsFinish ? FinishRailColor : RailColor);
    canvas.MoveTo(e.x1, e.y1);
    canvas.LineTo(e.x2, e.y2);
    if (IsFarOut(zoom)) return;
    const double length = rail.Length();
    if (length == 0.0) {
        // Filled with whatever brush the drawing before left.
        canvas.Ellipse(Checked::Sub(e.x1, 2), Checked::Sub(e.y1, 2), Checked::Add(e.x2, 2), Checked::Add(e.y2, 2));
        return;
    }
    // The sums are formed at extended precision, as the x87 unit forms them.
    const long double l = length;
    const long double mx = (static_cast<long double>(e.x1) + e.x2) / 2;
    const long double my = (static_cast<long double>(e.y1) + e.y2) / 2;
    const long double back5x = Checked::Mul(5, rail.DX()) / l;
    const long double back5y = Checked::Mul(5, rail.DY()) / l;
    const long double side3x = Checked::Mul(3, rail.DX()) / l;
    const long double side3y = Checked::Mul(3, rail.DY()) / l;
    const std::int32_t tipX = Checked::Add(e.x1, e.x2) / 2;
    const std::int32_t tipY = Checked::Add(e.y1, e.y2) / 2;
    canvas.MoveTo(RoundToInt(mx - back5x + side3y), RoundToInt(my - back5y - side3x));
    canvas.LineTo(tipX, tipY);
    canvas.LineTo(RoundToInt(mx - back5x - side3y), RoundToInt(my - back5y + side3x));
}

void DrawBorder(const TBorder& border, TCanvas& canvas, std::int32_t viewX, std::int32_t viewY,
                std::int32_t viewWidth, std::int32_t viewHeight, TViewZoom zoom)
{
    const std::optional<TViewEnds> visible = VisibleEnds(border, viewX, viewY, viewWidth, viewHeight, zoom);
    if (!visible) return;
    const TViewEnds& e = *visible;
    canvas.SetPenColor(border.Color);
    canvas.SetPenWidth(IsFarOut(zoom) && !border.Selected ? 1 : BorderPenWidth(border));
    canvas.MoveTo(e.x1, e.y1);
    canvas.LineTo(e.x2, e.y2);
    if (IsFarOut(zoom)) return;
    if (border.Kind == bkArch) {
        canvas.SetPenColor(clBlack);
        canvas.SetPenWidth((border.Selected ? 1 : 0) + 1);
        canvas.MoveTo(e.x1, e.y1);
        canvas.LineTo(e.x2, e.y2);
    }
    canvas.SetPenColor(border.Color);
    canvas.SetPenWidth(1);
    canvas.SetBrushColor(clWhite);
    canvas.Ellipse(Checked::Sub(e.x1, 2), Checked::Sub(e.y1, 2), Checked::Add(e.x1, 2), Checked::Add(e.y1, 2));
    canvas.Ellipse(Checked::Sub(e.x2, 2), Checked::Sub(e.y2, 2), Checked::Add(e.x2, 2), Checked::Add(e.y2, 2));
}

void DrawSnapMarker(TCanvas& canvas, std::int32_t x, std::int32_t y)
{
    canvas.SetPenColor(SnapColor);
    canvas.SetPenWidth(1);
    canvas.SetPenStyle(TPenStyle::Solid);
    canvas.SetBrushStyle(TBrushStyle::Clear);
    canvas.Ellipse(Checked::Sub(x, 10), Checked::Sub(y, 10), Checked::Add(x, 10), Checked::Add(y, 10));
    const std::int32_t ticks[4][4] = {{-15, 0, -5, 0}, {15, 0, 5, 0}, {0, -15, 0, -5}, {0, 15, 0, 5}};
    for (const auto& t : ticks) {
        canvas.MoveTo(Checked::Add(x, t[0]), Checked::Add(y, t[1]));
        canvas.LineTo(Checked::Add(x, t[2]), Checked::Add(y, t[3]));
    }
}
