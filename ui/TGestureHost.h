#pragma once
// What gestures ask of the window they work in.
#include <cstdint>

#include "model/TMap.h"
#include "platform/Canvas.h"

/// The window's side of the gestures: its maps, its view, the drawing colour.
/// The window implements it; gestures reach it through TGestures::Host.
class TGestureHost {
public:
    /// The map that commands and presses act on.
    virtual TMap& CurrentMap() const = 0;
    /// The open map with that id, or null (always null once the window has closed).
    virtual TMap* MapById(std::uint64_t id) const = 0;
    /// The world point under the main view's point (x, y). The current map's
    /// view is first brought up to the window's, so that what the press
    /// picks is what the view shows.
    virtual TPoint PressPoint(std::int32_t x, std::int32_t y) = 0;
    /// The main view as it is shown now: origin, size and scale.
    virtual TViewTransform View() const = 0;
    /// Scrolls the main view to that origin, clamped to the scroll ranges.
    virtual void ScrollTo(std::int32_t x, std::int32_t y) = 0;
    /// The overview's size in pixels.
    virtual TPoint OverviewSize() const = 0;
    /// The colour new borders take.
    virtual TColor DrawingColor() const = 0;
    /// Sets map's view to the main view's as it is now, as a tick does.
    virtual void SyncMapView(TMap& map) const = 0;
    /// Brings the Edit menu up to the current map's history.
    virtual void UpdateEditMenu() = 0;
    /// DrawView of map onto canvas from the main view's cached picture, drawn
    /// again only when something it shows changed: a gesture's frame.
    virtual void DrawView(const TMap& map, TCanvas& canvas) = 0;

protected:
    ~TGestureHost() = default;
};
