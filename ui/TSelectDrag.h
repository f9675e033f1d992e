#pragma once
// What the select tool's drags share: while one is in progress another press
// of the tool only selects, and the first move away from the press point
// starts the drag and its undo step.
#include <cstdint>

#include "ui/TGesture.h"

class TSelectDrag : public TGesture {
public:
    /// True once the drag moves something.
    bool Moving() const { return moving_; }

    /// Another press of the select tool only selects: what the first press
    /// took stays what moves.
    TPressAnswer Press(const TPress& press) override;
    /// The first move away from the press point starts the moving (and its step).
    bool Move(std::int32_t x, std::int32_t y) override;
    bool Changed() const override { return moving_; }

protected:
    /// kind is the step the drag opens on map.
    TSelectDrag(TGestures& gestures, const TPress& press, std::uint64_t map, TStepKind kind);

    /// The map and the point of the press.
    std::uint64_t map_;
    std::int32_t pressX_;
    std::int32_t pressY_;
    bool moving_ = false;

private:
    std::int32_t tool_;
    TStepKind kind_;
};
