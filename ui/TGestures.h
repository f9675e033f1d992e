#pragma once
// The gestures in progress and the undo step their presses opened: the one
// place the window's mouse events go.
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/TGesture.h"
#include "ui/TGestureHost.h"

/// Routes presses, moves, releases and Escape to the gestures in progress.
/// A press is first offered to the gestures of its surface (TGesture::Press);
/// unless one takes it, it starts the gesture of its button and tool
/// (Start). A release in the main view, or a command, ends them all as the
/// release would; the gestures of one press share one undo step, which
/// closes with them.
class TGestures {
public:
    explicit TGestures(TGestureHost& host) : host_(host) {}
    TGestures(const TGestures&) = delete;
    TGestures& operator=(const TGestures&) = delete;
    ~TGestures();

    TGestureHost& Host() const { return host_; }

    /// A press. A tool press gets its world point (TGestureHost::PressPoint)
    /// before anything sees it.
    void Press(TPress press);
    /// The mouse at (x, y) of surface, a button held or not.
    void Move(TGestureSurface surface, std::int32_t x, std::int32_t y);
    /// The release of button in the main view: every gesture ends as its
    /// release at (x, y) decides, and the step closes on its map.
    void Release(TMouseButton button, std::int32_t x, std::int32_t y);
    /// The release of the overview's button: its gestures end.
    void ReleaseOverview(std::int32_t x, std::int32_t y);
    /// Every gesture ends as a release at (x, y) would, and no button counts
    /// as held any more: a command is about to act, or a dialog took the release.
    void End(std::int32_t x, std::int32_t y);
    /// Escape: when a gesture has changed the map, the press's step is taken
    /// back; then each gesture decides whether it ends (TGesture::Escape).
    /// False when there was nothing to take back.
    bool Escape();
    /// Forgets every gesture, the step and the buttons, as a closed window does.
    void Clear();
    /// A tick's frame drawn by a gesture (TGesture::DrawFrame); false when none draws it.
    bool DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y);

    /// The main view's buttons held (bits 1 left, 2 right, 4 middle).
    std::uint8_t Buttons() const { return buttons_; }
    /// Keeps only those of the buttons held.
    void KeepButtons(std::uint8_t held) { buttons_ &= held; }
    /// True while a button is held in the main view or a press's step is open.
    bool Busy() const { return buttons_ != 0 || step_ != 0; }
    /// True when no gesture is under way on either surface and nothing is held or open.
    bool Idle() const { return active_.empty() && !Busy(); }
    /// The map where the press's step is open, or 0.
    std::uint64_t StepMap() const { return step_; }
    /// The first gesture in progress of that class, or null.
    template <class T>
    const T* Find() const
    {
        for (const auto& gesture : active_)
            if (const auto* found = dynamic_cast<const T*>(gesture.get())) return found;
        return nullptr;
    }

    /// For gestures: opens the press's step on map; a second gesture of the
    /// press on that map joins it, a step open on another map closes first.
    void OpenStep(TMap& map, TStepKind kind);
    /// For gestures at their release: the map where the step is open when it
    /// is the current map, its view set to the main view's; else null, and
    /// the release changes nothing (ticks move only the current map's
    /// elements, and so does a release).
    TMap* EditedMap() const;

private:
    /// The gesture that a press starts when no gesture in progress took it.
    std::unique_ptr<TGesture> Start(const TPress& press);
    /// Ends every gesture as a release at (x, y) would, and closes the step.
    void Finish(std::int32_t x, std::int32_t y);
    void CloseStep();

    TGestureHost& host_;
    std::vector<std::unique_ptr<TGesture>> active_;
    std::uint8_t buttons_ = 0;
    std::uint64_t step_ = 0;
};
