#pragma once
// An arc drawn out with the mouse: a press with Ctrl near a rail's second end
// starts it, the moves show the arc tangent to that rail that ends under the
// mouse, the release lays it as one step.
#include <cstdint>
#include <memory>

#include "model/ArcGeometry.h"
#include "ui/TGesture.h"

class TArcGesture : public TGesture {
public:
    /// A rail-tool press with Ctrl: the gesture when a rail's second end lies
    /// within the reach of the press, else null. piece is the length of the
    /// arc's rails.
    static std::unique_ptr<TGesture> Start(TGestures& gestures, const TPress& press, std::int32_t piece);

    /// The arc that a release at the mouse's last point would lay, or its refusal.
    const TArcChain& Chain() const { return chain_; }
    /// The map drawn on.
    std::uint64_t Map() const { return map_; }

    TPressAnswer Press(const TPress& press) override;
    bool Move(std::int32_t x, std::int32_t y) override;
    void Release(std::int32_t x, std::int32_t y) override;
    /// Escape takes the arc back before anything was laid.
    bool Escape(bool) override { return true; }

private:
    TArcGesture(TGestures& gestures, std::uint64_t map, std::int32_t rail, const TLine& line, std::int32_t piece);
    /// The arc to the world point under view point (x, y).
    TArcChain ChainTo(std::int32_t x, std::int32_t y) const;

    std::uint64_t map_;
    std::int32_t rail_;
    TLine line_;
    std::int32_t piece_;
    TArcChain chain_;
};
