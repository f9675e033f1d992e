#pragma once
// The live route check's marks: a ring where a fault or a warning is, over
// the elements of the main view, and a pixel in the overview.
#include <cstdint>
#include <span>
#include <vector>

#include "draw/OverviewScale.h"
#include "model/TViewTransform.h"
#include "platform/Canvas.h"

/// Where a fault (red) or a warning (yellow) is marked, in world units.
struct TRouteMark {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool Warning = false;
};

/// A ring's radius and its pen, in pixels at every scale.
constexpr std::int32_t RouteMarkRadius = 8;
constexpr std::int32_t RouteMarkPen = 2;
constexpr TColor RouteFaultColor = 0x0000FF;   // pure red
constexpr TColor RouteWarningColor = 0x00FFFF; // pure yellow

/// Draws the marks the view can show: a ring centred on each, or at 1/4 and
/// further out, where rings would cover the map, a 3 x 3 square. Leaves the
/// canvas with a 1-pixel pen and a clear brush.
void DrawRouteMarks(TCanvas& canvas, const TViewTransform& view, std::span<const TRouteMark> marks);

/// The overview's pixels for marks, scaled by scale into width x height: one
/// per pixel that a mark falls on, red where any fault does, in row order.
/// Kept while the map does not change, they draw in time of the overview's
/// size however many marks there are.
std::vector<TRouteMark> OverviewRouteMarkPixels(const TOverviewScale& scale, std::int32_t width, std::int32_t height,
                                                std::span<const TRouteMark> marks);
/// Draws pixels from OverviewRouteMarkPixels.
void DrawOverviewRouteMarks(TCanvas& canvas, std::span<const TRouteMark> pixels);
