#include "draw/RouteMarks.h"

#include <algorithm>

namespace {

/// Zoom shift from which a mark is a square instead of a ring (1/4).
constexpr std::int32_t SquareShift = -2;

} // namespace

void DrawRouteMarks(TCanvas& canvas, const TViewTransform& view, std::span<const TRouteMark> marks)
{
    const bool rings = view.Zoom.Shift > SquareShift;
    const std::int64_t reach = RouteMarkRadius + RouteMarkPen;
    canvas.SetPenWidth(rings ? RouteMarkPen : 1);
    if (rings) canvas.SetBrushStyle(TBrushStyle::Clear);
    bool colorSet = false;
    bool warning = false;
    for (const TRouteMark& mark : marks) {
        // In 64 bits: a mark far outside the view is skipped, never wrapped round.
        const std::int64_t px = view.Zoom.ToPixels(std::int64_t{mark.X} - view.X);
        const std::int64_t py = view.Zoom.ToPixels(std::int64_t{mark.Y} - view.Y);
        if (px < -reach || py < -reach || px > view.Width + reach || py > view.Height + reach) continue;
        if (!colorSet || mark.Warning != warning) {
            const TColor color = mark.Warning ? RouteWarningColor : RouteFaultColor;
            canvas.SetPenColor(color);
            if (!rings) canvas.SetBrushColor(color);
            colorSet = true;
            warning = mark.Warning;
        }
        const auto x = static_cast<std::int32_t>(px), y = static_cast<std::int32_t>(py);
        // The stamp's pen lies inside its box less one pixel at the top left:
        // this box puts the ring's outer pixels 8 from the centre on each side.
        if (rings)
            canvas.Ellipse(x - RouteMarkRadius + 1, y - RouteMarkRadius + 1, x + RouteMarkRadius + 1, y + RouteMarkRadius + 1);
        else
            canvas.Rectangle(x - 1, y - 1, x + 2, y + 2);
    }
    canvas.SetPenWidth(1);
    canvas.SetBrushStyle(TBrushStyle::Clear);
}

std::vector<TRouteMark> OverviewRouteMarkPixels(const TOverviewScale& scale, std::int32_t width, std::int32_t height,
                                                std::span<const TRouteMark> marks)
{
    // 0 nothing, 1 a warning, 2 a fault: a fault wins its pixel.
    std::vector<std::uint8_t> seen(static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)));
    for (const TRouteMark& mark : marks) {
        const std::int32_t x = scale.RoundedX(mark.X), y = scale.RoundedY(mark.Y);
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        std::uint8_t& pixel = seen[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        pixel = std::max<std::uint8_t>(pixel, mark.Warning ? 1 : 2);
    }
    std::vector<TRouteMark> pixels;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            if (const std::uint8_t p = seen[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)])
                pixels.push_back({x, y, p == 1});
    return pixels;
}

void DrawOverviewRouteMarks(TCanvas& canvas, std::span<const TRouteMark> pixels)
{
    canvas.SetPenWidth(1);
    canvas.SetBrushStyle(TBrushStyle::Clear);
    bool colorSet = false;
    bool warning = false;
    for (const TRouteMark& pixel : pixels) {
        if (!colorSet || pixel.Warning != warning) {
            canvas.SetPenColor(pixel.Warning ? RouteWarningColor : RouteFaultColor);
            colorSet = true;
            warning = pixel.Warning;
        }
        canvas.Rectangle(pixel.X, pixel.Y, pixel.X + 1, pixel.Y + 1);
    }
}
