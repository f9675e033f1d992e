#pragma once
// The overview as the window shows it at every tick, with the map picture
// cached: it is redrawn only when the map (or its size) changed since the
// last call, and the visible-area outline is drawn over a copy.
//
// After an edit of a map large enough to have grids, only the part of the
// picture where the edited elements lay is drawn again (with every line that
// reaches it), as long as the overview's frame stays.
//
// While the last border or rail is drawn out (only its second end moves and
// the overview's bounds stay), the picture holds every other line and the
// moving one is drawn over a copy at each call: a rail on top with the
// selected rail's red line after it; a border under the lines drawn after
// the borders, which are laid over it again inside the box of its two ends.
//
// The copy is pixel-identical to drawing from scratch on a canvas whose
// Rectangle (0, 0, w, h) covers exactly the pixels 0 <= x < w, 0 <= y < h and
// whose lines paint only pixels inside the box of their two ends, the same
// pixels on every surface (as TQtCanvas does): lines that leave the cached
// rectangle are drawn again onto the target, and the picture copied once more
// over what they painted inside it.
#include <cstdint>
#include <memory>

#include "model/TMap.h"
#include "platform/Canvas.h"

class TOverviewCache {
public:
    explicit TOverviewCache(TBitmapFactory& bitmaps);
    ~TOverviewCache();
    TOverviewCache(const TOverviewCache&) = delete;
    TOverviewCache& operator=(const TOverviewCache&) = delete;

    /// The same pixels (and canvas state) as DrawOverviewWithViewport with these arguments.
    void Draw(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height, std::int32_t scrollX,
              std::int32_t scrollY);
    /// True when Draw with these sizes would draw the picture of the map
    /// afresh, every element of it, rather than reuse it or draw again only
    /// where edits were.
    bool Redraws(const TMap& map, std::int32_t width, std::int32_t height) const;
    /// Brings the picture up to the map as Draw does, drawing nothing on any
    /// canvas: work that only reads map, so it may run off the window's
    /// thread while nothing else uses the map or this cache. Draw then finds it ready.
    void Refresh(const TMap& map, std::int32_t width, std::int32_t height);
    /// Forgets the cached picture.
    void Invalidate();
    /// How many times the picture was drawn afresh (for tests and benchmarks):
    /// not at a move of a drawn-out element that keeps the bounds, nor after
    /// an edit of a large map that it could draw again where the edit was.
    std::uint64_t Rebuilds() const;
    /// How many times only the part of the picture that edits touched was drawn again.
    std::uint64_t Patches() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
