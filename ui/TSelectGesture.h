#pragma once
// The select tool: a press picks what lies under it; a press near an
// element's end and a drag move that end, with every end joined to it unless
// Shift was held at the press.
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/TSelectDrag.h"

class TSelectGesture : public TSelectDrag {
public:
    /// Selects at the press; near an end, returns the gesture that a drag
    /// turns into moving it, else null (the click only selected).
    static std::unique_ptr<TGesture> Start(TGestures& gestures, const TPress& press);

    void Release(std::int32_t x, std::int32_t y) override;
    /// Ends when the step that moved the ends was taken back.
    bool Escape(bool stepTakenBack) override { return stepTakenBack; }
    /// While moving on its map: the ends go to the snapped mouse point, and
    /// the frame shows them there with the snap marker.
    bool DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y) override;

private:
    TSelectGesture(TGestures& gestures, const TPress& press, const TMap& map, std::vector<TElementEnd> ends);
    /// Moves the ends to view point (x, y) snapped as a tick snaps them; at
    /// is the snapped view point. False, moving nothing, when a command added
    /// or deleted elements since the press.
    bool MoveEndsTo(TMap& map, std::int32_t x, std::int32_t y, TPoint& at, bool& snapped) const;

    std::vector<TElementEnd> ends_;
    /// The counts at the press: a command that adds or deletes elements
    /// while the button is held ends the moving.
    std::int32_t rails_;
    std::int32_t borders_;
};
