#include "draw/Overview.h"

#include <cmath>
#include <limits>

#include "draw/OverviewScale.h"
#include "model/Checked.h"

namespace {

constexpr TColor RailColor = clWhite;
constexpr TColor FinishColor = 0x00FF00;
constexpr TColor StartColor = 0x8888FF;
constexpr TColor SelectedColor = 0x0000FF;
constexpr TColor OutlineColor = 0x00FF00;

} // namespace

std::int32_t RoundedQuotient(std::int32_t product, std::int32_t range)
{
    // Equal to dividing in extended precision and rounding: a quotient that is
    // not a half lies at least 1/(2 range) from one, far more than the error
    // of a 64-bit mantissa, and a half is exact in both.
    std::int32_t q = product / range;
    const std::int64_t twiceRest = 2 * static_cast<std::int64_t>(product % range);
    const std::int64_t r = range;
    const std::int32_t away = (product < 0) != (range < 0) ? -1 : 1;
    const std::int64_t rest = twiceRest < 0 ? -twiceRest : twiceRest;
    const std::int64_t whole = r < 0 ? -r : r;
    if (rest > whole || (rest == whole && q % 2 != 0)) q += away;
    return q;
}

TOverviewBounds OverviewBounds(const TMap& map, const TOverviewLeaveOut& leaveOut)
{
    TOverviewBounds bounds;
    const std::size_t rails = map.Rails().size() - (leaveOut.LastRail && !map.Rails().empty() ? 1 : 0);
    for (std::size_t i = 0; i < rails; ++i) bounds.Take(map.Rails()[i]);
    const std::size_t borders = map.Borders().size() - (leaveOut.LastBorder && !map.Borders().empty() ? 1 : 0);
    for (std::size_t i = 0; i < borders; ++i) bounds.Take(map.Borders()[i]);
    // Without rails the starting values -10 and 10 stay in play: the frame of
    // the point (0, 0). A rail's first end replaces them whatever they are.
    if (map.Rails().empty()) bounds.Take(0, 0);
    return bounds;
}

std::int32_t MinX(const TMap& map) { return OverviewBounds(map).MinX; }
std::int32_t MinY(const TMap& map) { return OverviewBounds(map).MinY; }
std::int32_t MaxX(const TMap& map) { return OverviewBounds(map).MaxX; }
std::int32_t MaxY(const TMap& map) { return OverviewBounds(map).MaxY; }

TOverviewScale::TOverviewScale(const TMap& map, std::int32_t width, std::int32_t height)
    : TOverviewScale(OverviewBounds(map), width, height)
{
}

TOverviewScale::TOverviewScale(const TOverviewBounds& bounds, std::int32_t width, std::int32_t height)
    : MinX(bounds.MinX), MinY(bounds.MinY), RangeX(Checked::Sub(bounds.MaxX, MinX)),
      RangeY(Checked::Sub(bounds.MaxY, MinY)), Width(width), Height(height)
{
}

std::int32_t TOverviewScale::RoundedX(std::int32_t x) const { return Rounded(x, MinX, Width, RangeX); }
std::int32_t TOverviewScale::RoundedY(std::int32_t y) const { return Rounded(y, MinY, Height, RangeY); }
std::int32_t TOverviewScale::TruncatedX(std::int32_t x) const { return Truncated(x, MinX, Width, RangeX); }
std::int32_t TOverviewScale::TruncatedY(std::int32_t y) const { return Truncated(y, MinY, Height, RangeY); }

std::int32_t TOverviewScale::Rounded(std::int32_t v, std::int32_t min, std::int32_t size, std::int32_t range)
{
    return RoundedQuotient(Checked::Mul(Checked::Sub(v, min), size), range);
}

std::int32_t TOverviewScale::Truncated(std::int32_t v, std::int32_t min, std::int32_t size, std::int32_t range)
{
    return Checked::Mul(Checked::Sub(v, min), size) / range;
}

TOverviewLine OverviewBorderLine(const TMap& map, const TOverviewScale& scale, std::int32_t index)
{
    const TBorder& b = map.Borders()[static_cast<std::size_t>(index)];
    return {b.Color, scale.RoundedX(b.X1), scale.RoundedY(b.Y1), scale.RoundedX(b.X2), scale.RoundedY(b.Y2)};
}

TOverviewLine OverviewRailLine(const TMap& map, const TOverviewScale& scale, std::int32_t index)
{
    const TRail& r = map.Rails()[static_cast<std::size_t>(index)];
    const TColor color = index == map.StartRail ? StartColor : index == map.FinishRail ? FinishColor : RailColor;
    return {color, scale.RoundedX(r.X1), scale.RoundedY(r.Y1), scale.RoundedX(r.X2), scale.RoundedY(r.Y2)};
}

TOverviewLine OverviewSelectedLine(const TMap& map, const TOverviewScale& scale)
{
    const TRail& r = map.Rails()[static_cast<std::size_t>(map.SelRail)];
    return {SelectedColor, scale.TruncatedX(r.X1), scale.TruncatedY(r.Y1), scale.TruncatedX(r.X2),
            scale.TruncatedY(r.Y2)};
}

void DrawOverviewLines(const TMap& map, TCanvas& canvas, const TOverviewScale& scale, TOverviewLineSink* sink,
                       const TOverviewLeaveOut& leaveOut)
{
    canvas.SetPenColor(clBlack);
    canvas.SetPenWidth(1);
    canvas.SetBrushColor(clBlack);
    canvas.SetBrushStyle(TBrushStyle::Solid);
    canvas.Rectangle(0, 0, scale.Width, scale.Height);
    const auto line = [&](const TOverviewLine& l) {
        canvas.MoveTo(l.X1, l.Y1);
        canvas.LineTo(l.X2, l.Y2);
        if (sink) sink->Line(l.Color, l.X1, l.Y1, l.X2, l.Y2);
    };
    const std::int32_t borders = map.BorderCount() - (leaveOut.LastBorder && map.BorderCount() > 0 ? 1 : 0);
    for (std::int32_t i = 0; i < borders; ++i) {
        // The pen first: a coordinate that overflows leaves the canvas as it always did.
        canvas.SetPenColor(map.Borders()[static_cast<std::size_t>(i)].Color);
        line(OverviewBorderLine(map, scale, i));
    }
    const std::int32_t count = map.RailCount();
    const std::int32_t rails = count - (leaveOut.LastRail && count > 0 ? 1 : 0);
    for (std::int32_t i = 0; i < rails; ++i) {
        // Each colour is set in turn, the last one that applies winning.
        canvas.SetPenColor(RailColor);
        if (i == map.FinishRail) canvas.SetPenColor(FinishColor);
        if (i == map.StartRail) canvas.SetPenColor(StartColor);
        line(OverviewRailLine(map, scale, i));
    }
    if (!leaveOut.Selected && map.SelRail >= 0 && map.SelRail < count) {
        canvas.SetPenColor(SelectedColor);
        line(OverviewSelectedLine(map, scale));
    }
}

void DrawOverview(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height)
{
    DrawOverviewLines(map, canvas, TOverviewScale(map, width, height), nullptr);
}

void DrawViewportOutline(const TMap& map, TCanvas& canvas, const TOverviewScale& scale, std::int32_t scrollX,
                         std::int32_t scrollY)
{
    canvas.SetPenColor(OutlineColor);
    canvas.SetBrushStyle(TBrushStyle::Clear);
    canvas.Rectangle(scale.TruncatedX(scrollX), scale.TruncatedY(scrollY),
                     scale.TruncatedX(Checked::Add(scrollX, map.ViewExtentX())),
                     scale.TruncatedY(Checked::Add(scrollY, map.ViewExtentY())));
}

void DrawOverviewWithViewport(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height,
                              std::int32_t scrollX, std::int32_t scrollY)
{
    const TOverviewScale scale(map, width, height);
    DrawOverviewLines(map, canvas, scale, nullptr);
    DrawViewportOutline(map, canvas, scale, scrollX, scrollY);
}

TPoint OverviewToView(const TMap& map, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    const TOverviewBounds bounds = OverviewBounds(map);
    const std::int32_t minX = bounds.MinX;
    const std::int32_t minY = bounds.MinY;
    const std::int32_t rangeX = Checked::Sub(bounds.MaxX, minX);
    const std::int32_t rangeY = Checked::Sub(bounds.MaxY, minY);
    // A zero overview size would give an infinite origin; it raises the
    // overflow error instead of turning into an undefined integer.
    const auto origin = [](std::int32_t p, std::int32_t range, std::int32_t size, std::int32_t min,
                           long double view) {
        if (size == 0) throw EIntOverflow();
        const long double v = static_cast<long double>(Checked::Mul(p, range)) / size + min -
                              view / 2;
        const long double r = std::nearbyint(v);
        if (!(r >= std::numeric_limits<std::int32_t>::min() && r <= std::numeric_limits<std::int32_t>::max()))
            throw EIntOverflow();
        return static_cast<std::int32_t>(r);
    };
    // The view's world size at its scale, not rounded.
    const long double scale = map.Zoom.Scale();
    const std::int32_t vy = origin(y, rangeY, height, minY, map.ViewHeight / scale);
    const std::int32_t vx = origin(x, rangeX, width, minX, map.ViewWidth / scale);
    return {vx, vy};
}
