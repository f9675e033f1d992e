#pragma once
// The main view as the window draws it at every tick, with the picture of the
// map cached: it is drawn again only when the map or the view changed since
// the last call, so a tick that only moves the mouse copies the picture and
// draws the snap marker.
//
// Inside the view rectangle the pixels are those of DrawFrame, and the canvas
// is left in the state DrawFrame leaves. Lines that reach past the view's
// right or bottom edge are not drawn beyond it on the target.
#include <cstdint>
#include <memory>

#include "model/TMap.h"
#include "platform/Canvas.h"

class TViewCache {
public:
    explicit TViewCache(TBitmapFactory& bitmaps);
    ~TViewCache();
    TViewCache(const TViewCache&) = delete;
    TViewCache& operator=(const TViewCache&) = delete;

    /// DrawFrame (the view, then the snap marker, moving the element being
    /// drawn out) with the view taken from the cache when nothing it shows changed.
    void DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y, std::uint8_t placing);
    /// Draws the picture of the map's view unless it already shows it: work
    /// that only reads map, so it may run off the window's thread while
    /// nothing else uses the map or this cache.
    void Refresh(const TMap& map);
    /// True when the cached picture is that of the map's view as it stands:
    /// DrawView and Refresh would draw nothing afresh.
    bool Shows(const TMap& map) const;
    /// DrawView alone, taken from the cache the same way: for a frame whose
    /// marker is drawn by whoever asks (a gesture).
    void DrawView(const TMap& map, TCanvas& canvas);
    /// Forgets the cached picture.
    void Invalidate();
    /// How many times the view was drawn afresh (for tests and benchmarks).
    std::uint64_t Rebuilds() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
