#pragma once
// The select tool's drag of a selected element (away from its ends): the
// whole selection moves, the grabbed point snapping to an end of an
// unselected element, in one undo step.
#include <cstdint>
#include <memory>

#include "ui/TSelectDrag.h"

class TMoveSelectionGesture : public TSelectDrag {
public:
    /// The gesture of a press on a selected element. Nothing changes yet: a
    /// release without a drag is the click the press would have been.
    static std::unique_ptr<TGesture> Start(TGestures& gestures, const TPress& press);

    void Release(std::int32_t x, std::int32_t y) override;
    bool Escape(bool stepTakenBack) override { return stepTakenBack || !moving_; }
    /// While moving: the selection follows the snapped mouse point.
    bool DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y) override;

private:
    TMoveSelectionGesture(TGestures& gestures, const TPress& press, std::uint64_t map);
    /// Moves the selection so the grabbed point lies at view point (x, y)
    /// snapped, as far as the world's edge allows; at is the snapped view point.
    void MoveTo(TMap& map, std::int32_t x, std::int32_t y, TPoint& at, bool& snapped);

    /// The world point grabbed, and how far the selection has moved from it.
    TPoint grabbed_;
    TPoint moved_;
};
