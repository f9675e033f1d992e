#pragma once
// A scroll bar with the operations the window relies on.
#include <QScrollBar>
#include <cstdint>

/// Minimum 0, arrow and page steps of 1. Setting the position clamps it into
/// [0, maximum], which panning, the overview and the route check rely on.
class TScrollBar : public QScrollBar {
public:
    TScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent)
    {
        setRange(0, 0);
        setSingleStep(1);
        setPageStep(1);
        setValue(0);
    }
    std::int32_t Position() const { return value(); }
    /// QScrollBar clamps into [minimum, maximum] itself.
    void SetPosition(std::int32_t position) { setValue(position); }
    std::int32_t Max() const { return maximum(); }
    void SetMax(std::int32_t max) { setMaximum(max); }
    /// True while the mouse holds the slider, an arrow or the trough: the
    /// position may go on changing until the button comes up.
    bool Held() const { return isSliderDown() || repeatAction() != SliderNoAction; }
    /// Lets go as the button's release would, where the release will never
    /// come (a modal window took it): no auto-repeat goes on stepping.
    void LetGo()
    {
        setRepeatAction(SliderNoAction);
        setSliderDown(false);
    }
};
