#pragma once
// The whole map scaled into a rectangle, the visible-area outline, and the
// mapping from an overview point back to a view origin.
#include <cstdint>

#include "model/TMap.h"
#include "platform/Canvas.h"

/// The overview's bounds, one at a time (OverviewBounds gives all four at once).
std::int32_t MinX(const TMap& map);
std::int32_t MinY(const TMap& map);
std::int32_t MaxX(const TMap& map);
std::int32_t MaxY(const TMap& map);

/// The whole map into the rectangle (0, 0)-(width, height) of the canvas.
void DrawOverview(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height);
/// DrawOverview plus the green outline of the view at (scrollX, scrollY).
void DrawOverviewWithViewport(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height,
                              std::int32_t scrollX, std::int32_t scrollY);
/// The view origin that centres the main view on overview point (x, y).
TPoint OverviewToView(const TMap& map, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
