#include "draw/BandDraw.h"

#include <algorithm>

namespace {

/// One edge from (x, y), length pixels along (dx, dy), dashed from its start.
void DashedEdge(TCanvas& canvas, std::int64_t x, std::int64_t y, std::int64_t dx, std::int64_t dy, std::int64_t length)
{
    for (std::int64_t from = 0; from <= length; from += 2 * BandDash) {
        const std::int64_t to = std::min(from + BandDash - 1, length);
        canvas.MoveTo(static_cast<std::int32_t>(x + dx * from), static_cast<std::int32_t>(y + dy * from));
        // LineTo leaves its last pixel out: one step further draws it.
        canvas.LineTo(static_cast<std::int32_t>(x + dx * (to + 1)), static_cast<std::int32_t>(y + dy * (to + 1)));
    }
}

} // namespace

void DrawBand(TCanvas& canvas, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    // A band reaching far beyond the view is drawn only near it.
    const auto near = [](std::int32_t v) { return std::clamp(v, -16, 1 << 16); };
    const std::int64_t left = near(std::min(x1, x2)), right = near(std::max(x1, x2));
    const std::int64_t top = near(std::min(y1, y2)), bottom = near(std::max(y1, y2));
    canvas.SetPenColor(BandColor);
    canvas.SetPenWidth(1);
    canvas.SetPenStyle(TPenStyle::Solid);
    DashedEdge(canvas, left, top, 1, 0, right - left);
    DashedEdge(canvas, left, bottom, 1, 0, right - left);
    DashedEdge(canvas, left, top, 0, 1, bottom - top);
    DashedEdge(canvas, right, top, 0, 1, bottom - top);
}
