#pragma once
// Drawing out a border or a rail: the press adds it from the press point to
// the press point, the ticks move its second end with the mouse, the release
// puts that end where the button came up.
#include <cstdint>
#include <memory>

#include "ui/TGesture.h"

class TDrawGesture : public TGesture {
public:
    /// What is being drawn out, as drawing and snapping count it.
    enum TWhat : std::uint8_t { DrawsBorder = 1, DrawsRail = 2 };

    /// A press with a border tool: a border of that kind in the drawing colour.
    static std::unique_ptr<TGesture> Border(TGestures& gestures, const TPress& press, std::uint8_t kind);
    /// A press with the rail tool.
    static std::unique_ptr<TGesture> Rail(TGestures& gestures, const TPress& press);

    /// DrawsBorder or DrawsRail.
    TWhat What() const { return what_; }
    /// What the next tick may move on map: What() while the element this
    /// press added is still the last of its kind there, else 0 (a command
    /// deleted it, or the map is another).
    std::uint8_t Placing(const TMap& map) const;

    /// Another tool press leaves the element where it is, drawn out no further.
    TPressAnswer Press(const TPress& press) override;
    void Release(std::int32_t x, std::int32_t y) override;
    bool Changed() const override { return true; }
    /// Ends when the element went with the step.
    bool Escape(bool stepTakenBack) override { return stepTakenBack; }

private:
    TDrawGesture(TGestures& gestures, TWhat what, const TMap& map);

    TWhat what_;
    /// The map drawn on and its count of elements of that kind after the press.
    std::uint64_t map_;
    std::int32_t count_;
};
