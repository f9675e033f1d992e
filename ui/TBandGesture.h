#pragma once
// The select tool's band: a press on empty space and a drag draw a dashed
// rectangle; the release selects every element with both ends inside it.
#include <cstdint>
#include <memory>

#include "ui/TGesture.h"

class TBandGesture : public TGesture {
public:
    /// The band of a press that picked nothing. add: the band adds to the
    /// selection (Shift); a release without a drag then does what the click
    /// would have done.
    static std::unique_ptr<TGesture> Start(TGestures& gestures, const TPress& press, bool add);

    /// True once the mouse has left the press point: the band is shown.
    bool Dragging() const { return dragging_; }

    /// Another press of the tool ends the band without selecting.
    TPressAnswer Press(const TPress& press) override;
    bool Move(std::int32_t x, std::int32_t y) override;
    void Release(std::int32_t x, std::int32_t y) override;
    bool Escape(bool) override { return true; }
    /// The usual frame with the band over it.
    bool DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y) override;

private:
    TBandGesture(TGestures& gestures, const TPress& press, std::uint64_t map, bool add);

    std::uint64_t map_;
    std::int32_t pressX_;
    std::int32_t pressY_;
    /// The world point of the press: the band's fixed corner, wherever the view scrolls.
    TPoint corner_;
    bool add_;
    bool dragging_ = false;
};
