#pragma once
// A mouse gesture: what one press starts, its moves and its release. The
// window hands its mouse events to TGestures, which passes them to the
// gestures in progress; each gesture keeps its own state.
#include <cstdint>

#include "model/TMap.h"
#include "platform/Canvas.h"
#include "ui/TPaintBox.h"

class TGestures;

/// Where a gesture's mouse events come from.
enum class TGestureSurface { MainView, Overview };

/// A press as gestures see it.
struct TPress {
    TGestureSurface Surface = TGestureSurface::MainView;
    TMouseButton Button = TMouseButton::Left;
    /// The press point in the surface's pixels.
    std::int32_t X = 0;
    std::int32_t Y = 0;
    /// The selector's tool (its index), -1 when none is chosen.
    std::int32_t Tool = -1;
    /// Shift was held at the press.
    bool Shift = false;
    /// Ctrl was held at the press.
    bool Ctrl = false;
    /// The world point under the press; set only for a tool press.
    TPoint World;
    /// A press in the main view of the left or middle button with a tool
    /// chosen: the tool acts on it. The right button always pans.
    bool ForTool() const
    {
        return Surface == TGestureSurface::MainView && Button != TMouseButton::Right && Tool >= 0;
    }
};

/// What becomes of a gesture in progress when another press comes on its surface.
enum class TPressAnswer {
    Keep, ///< it goes on, and the press starts what it would start alone
    Take, ///< it goes on and has dealt with the press, which starts nothing
    End,  ///< it ends where it is, without a release
};

/// One gesture, in the manner of an editor's tool: the press made it (see
/// TTools and TGestures::Start), and it lives until a release, Escape or a
/// command ends it. Several may be in progress at once (the right button
/// pans while the left draws out a rail); a release in the main view ends
/// every one of them.
class TGesture {
public:
    virtual ~TGesture() = default;
    TGesture(const TGesture&) = delete;
    TGesture& operator=(const TGesture&) = delete;

    /// The surface whose presses, moves and release reach this gesture.
    virtual TGestureSurface Surface() const { return TGestureSurface::MainView; }
    /// Another press on this gesture's surface while it is in progress.
    virtual TPressAnswer Press(const TPress& press);
    /// The mouse at (x, y) of its surface; false when the gesture has ended
    /// by itself (without a release).
    virtual bool Move(std::int32_t x, std::int32_t y);
    /// The gesture ends as its release decides: the release at (x, y) of its
    /// surface's button or of the main view's (which ends every gesture), or
    /// a command ending every gesture at the main view's last mouse point.
    /// The map where the press's step is open, when it is current, has the
    /// main view's view then (TGestures::EditedMap).
    virtual void Release(std::int32_t x, std::int32_t y);
    /// True once the gesture has changed the map: Escape takes back the
    /// press's step, which holds every change of the press.
    virtual bool Changed() const { return false; }
    /// Escape, after the press's step was taken back when stepTakenBack:
    /// true when the gesture ends (without a release).
    virtual bool Escape(bool stepTakenBack);
    /// Draws a tick's frame of map with the mouse at (x, y) itself; false
    /// leaves it to the window's usual frame.
    virtual bool DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y);

protected:
    explicit TGesture(TGestures& gestures) : gestures_(gestures) {}
    /// The gestures this one belongs to: the window's services and the step.
    TGestures& Gestures() const { return gestures_; }

private:
    TGestures& gestures_;
};
