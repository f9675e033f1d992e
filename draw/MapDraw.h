#pragma once
// Drawing the visible part of a map into the off-screen bitmap, one frame at a time.
#include <cstdint>

#include "model/TMap.h"
#include "platform/Canvas.h"

/// The view (DrawView), then the snap marker where the mouse point (x, y)
/// snaps; with placing 1 or 2 the element being drawn out follows the mouse.
void DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y, std::uint8_t placing);
/// The second half of DrawFrame: the snap marker where (x, y) snaps, moving
/// the element being drawn out.
void DrawSnap(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y, std::uint8_t placing);
/// One frame of the view without the snap marker.
void DrawView(const TMap& map, TCanvas& canvas);
/// At this scale and below (1/8, 1/16) elements are drawn as their lines alone.
constexpr std::int32_t FarOutShift = -3;
/// One element in the view: nothing when the view does not show it. At a
/// scale other than 1 the geometry scales; pen widths, end circles and arrow
/// heads keep their pixel sizes.
void DrawRail(const TRail& rail, TCanvas& canvas, const TViewTransform& view);
void DrawBorder(const TBorder& border, TCanvas& canvas, const TViewTransform& view);
/// The green snap marker centred on view point (x, y).
void DrawSnapMarker(TCanvas& canvas, std::int32_t x, std::int32_t y);
