#pragma once
// Gestures that move the main view and change nothing on the map: panning
// with the right button and dragging in the overview.
#include <cstdint>
#include <memory>

#include "ui/TGesture.h"

/// The right button held in the main view: the map follows the mouse.
class TPanGesture : public TGesture {
public:
    static std::unique_ptr<TGesture> Start(TGestures& gestures, const TPress& press);
    /// A right press starts the pan afresh from there.
    TPressAnswer Press(const TPress& press) override;
    bool Move(std::int32_t x, std::int32_t y) override;

private:
    TPanGesture(TGestures& gestures, const TPress& press);
    /// The press point and the view's origin then.
    std::int32_t startX_;
    std::int32_t startY_;
    TPoint startOrigin_;
};

/// A button held in the overview: the main view centres on the point under
/// the mouse at each move (the press alone moves nothing).
class TOverviewGesture : public TGesture {
public:
    static std::unique_ptr<TGesture> Start(TGestures& gestures, const TPress& press);
    TGestureSurface Surface() const override { return TGestureSurface::Overview; }
    /// Another press there starts it afresh.
    TPressAnswer Press(const TPress& press) override;
    bool Move(std::int32_t x, std::int32_t y) override;

private:
    using TGesture::TGesture;
};
