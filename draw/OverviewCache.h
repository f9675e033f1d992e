#pragma once
// The overview as the window shows it at every tick, with the map picture
// cached: it is redrawn only when the map (or its size) changed since the
// last call, and the visible-area outline is drawn over a copy.
#include <cstdint>
#include <memory>

#include "model/TMap.h"
#include "platform/Canvas.h"

class TOverviewCache {
public:
    explicit TOverviewCache(TBitmapFactory& bitmaps);
    ~TOverviewCache();
    /// The same pixels (and canvas state) as DrawOverviewWithViewport with these arguments.
    void Draw(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height, std::int32_t scrollX,
              std::int32_t scrollY);
    /// Forgets the cached picture.
    void Invalidate();

private:
    struct State;
    std::unique_ptr<State> state_;
};
