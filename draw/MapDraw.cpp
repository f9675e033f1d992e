#include "draw/MapDraw.h"

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

/// Draws, in index order, the elements that the view shows. A large map's
/// grid names the ones that may reach the view; drawOne skips any other.
template <typename T, typename DrawOne>
void DrawVisible(const std::vector<T>& items, const TMap& map, const TViewTransform& view, DrawOne drawOne)
{
    if (map.UsesIndexAt(0, 0)) {
        const TWorldRect shown = view.Shown();
        std::vector<std::int32_t> candidates;
        if constexpr (std::is_same_v<T, TRail>)
            map.RailsNear(shown.x1, shown.y1, shown.x2, shown.y2, candidates);
        else
            map.BordersNear(shown.x1, shown.y1, shown.x2, shown.y2, candidates);
        for (const std::int32_t i : candidates) drawOne(items[static_cast<std::size_t>(i)]);
        return;
    }
    view.VisitShown(items.data(), items.size(), [&](std::size_t k) { drawOne(items[k]); });
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
    const TViewTransform view = map.View();
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(clBlack);
    canvas.Rectangle(0, 0, view.Width, view.Height);
    DrawVisible(map.Borders(), map, view, [&](const TBorder& border) { DrawBorder(border, canvas, view); });
    DrawVisible(map.Rails(), map, view, [&](const TRail& rail) { DrawRail(rail, canvas, view); });
}

void DrawRail(const TRail& rail, TCanvas& canvas, const TViewTransform& view)
{
    const std::optional<TViewEnds> visible = view.VisibleEnds(rail);
    if (!visible) return;
    const TViewEnds& e = *visible;
    canvas.SetPenWidth((rail.Selected ? 1 : 0) * 2 + 1);
    canvas.SetPenColor(rail.IsStart ? StartRailColor : rail.IsFinish ? FinishRailColor : RailColor);
    canvas.MoveTo(e.x1, e.y1);
    canvas.LineTo(e.x2, e.y2);
    if (IsFarOut(view.Zoom)) return;
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

void DrawBorder(const TBorder& border, TCanvas& canvas, const TViewTransform& view)
{
    const std::optional<TViewEnds> visible = view.VisibleEnds(border);
    if (!visible) return;
    const TViewEnds& e = *visible;
    canvas.SetPenColor(border.Color);
    canvas.SetPenWidth(IsFarOut(view.Zoom) && !border.Selected ? 1 : BorderPenWidth(border));
    canvas.MoveTo(e.x1, e.y1);
    canvas.LineTo(e.x2, e.y2);
    if (IsFarOut(view.Zoom)) return;
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
