// The main view and overview mouse handlers and the redraw tick.
#include <QEvent>
#include <QTimer>
#include <cmath>
#include <utility>

#include "draw/MapDraw.h"
#include "draw/Overview.h"
#include "draw/OverviewCache.h"
#include "draw/ViewCache.h"
#include "model/Checked.h"
#include "ui/RunGuarded.h"
#include "ui/TListBox.h"
#include "ui/TRadioGroup.h"
#include "ui/TScrollBar.h"
#include "ui/Unit1.h"

namespace {

constexpr std::int32_t ToolSelect = 5;
constexpr std::int32_t ToolRail = 4;

std::uint8_t ButtonBit(TMouseButton button)
{
    switch (button) {
    case TMouseButton::Left: return 1;
    case TMouseButton::Right: return 2;
    case TMouseButton::Middle: return 4;
    }
    return 0;
}

/// Runs a function when the scope ends, also when an error leaves it.
template <class F>
class TAtExit {
public:
    explicit TAtExit(F f) : f_(f) {}
    ~TAtExit() { f_(); }
    TAtExit(const TAtExit&) = delete;
    TAtExit& operator=(const TAtExit&) = delete;

private:
    F f_;
};

} // namespace

std::uint8_t TForm1::Placing() const
{
    if (ToolAction == 0) return 0;
    const TMap& map = CurrentMap();
    if (map.Id() != placingMap_) return 0;
    const std::int32_t count = ToolAction == 1 ? map.BorderCount() : map.RailCount();
    return count == placingCount_ ? ToolAction : 0;
}

void TForm1::PaintBox1MouseDown(TMouseButton button, std::int32_t x, std::int32_t y)
{
    if (!Alive()) return;
    MainViewButtons |= ButtonBit(button);
    MouseX = x;
    MouseY = y;
    if (button == TMouseButton::Right) {
        PanStartX = x;
        PanStartY = y;
        PanStartScrollX = HB->Position();
        PanStartScrollY = VB->Position();
        Panning = true;
        return;
    }
    const std::int32_t tool = RadioGroup1->ItemIndex();
    if (tool < 0) return;
    TMap& map = CurrentMap();
    // A press picks and places in the view as shown now.
    SyncMapView(map);
    const TPoint w = WorldAt(x, y);
    const std::int32_t wx = w.x;
    const std::int32_t wy = w.y;
    if (tool == ToolSelect) {
        map.SelectAt(x, y);
        ToolAction = 0;
        // A drag that follows moves the end pressed, with every end joined to
        // it unless Shift is held.
        if (endDrag_.Map != 0) return;
        const std::optional<TElementEnd> end = map.EndNearView(x, y);
        if (!end) return;
        const bool alone = PaintBox1->Modifiers.testFlag(Qt::ShiftModifier);
        endDrag_ = {map.Id(), alone ? std::vector<TElementEnd>{*end} : map.EndsAt(map.EndPoint(*end)), x, y,
                    map.RailCount(), map.BorderCount(), false};
        return;
    }
    if (tool == ToolRail) {
        OpenStep(map, TStepKind::DrawRail);
        map.AddRail(wx, wy, wx, wy);
        ToolAction = 2;
        placingCount_ = map.RailCount();
    } else {
        OpenStep(map, TStepKind::DrawBorder);
        map.AddBorder(wx, wy, wx, wy, ColorDialog1->Color(), static_cast<std::uint8_t>(tool));
        ToolAction = 1;
        placingCount_ = map.BorderCount();
    }
    placingMap_ = map.Id();
}

void TForm1::PaintBox1MouseMove(std::int32_t x, std::int32_t y)
{
    MouseX = x;
    MouseY = y;
    if (Panning) {
        // The map follows the mouse from where the press found it.
        TViewTransform atPress = View();
        atPress.X = PanStartScrollX;
        atPress.Y = PanStartScrollY;
        const TPoint origin = atPress.PannedOrigin({PanStartX, PanStartY}, {x, y});
        HB->SetPosition(origin.x);
        VB->SetPosition(origin.y);
    }
    if (endDrag_.Map == 0 || endDrag_.Moving || !Alive()) return;
    if (x == endDrag_.PressX && y == endDrag_.PressY) return;
    TMap& map = CurrentMap();
    if (map.Id() != endDrag_.Map) {
        endDrag_ = {};
        return;
    }
    OpenStep(map, TStepKind::MoveEnd);
    endDrag_.Moving = true;
}

void TForm1::PaintBox1MouseUp(TMouseButton button, std::int32_t x, std::int32_t y)
{
    MainViewButtons &= static_cast<std::uint8_t>(~ButtonBit(button));
    MouseX = x;
    MouseY = y;
    const std::uint64_t gestureMap = stepMap_;
    FinishGesture(x, y);
    if (!Alive() || CurrentMap().Id() == gestureMap) return;
    // A map that no gesture of this press changed is tidied all the same;
    // what that removes is a step of its own.
    {
        TMap& map = CurrentMap();
        const TEditStep step(map, TStepKind::Cleanup);
        map.Normalize();
    }
    UpdateEditMenu();
}

void TForm1::FinishGesture(std::int32_t x, std::int32_t y)
{
    OverviewTracking = false;
    Panning = false;
    const std::uint8_t placing = Alive() ? Placing() : 0;
    const TEndDrag drag = std::exchange(endDrag_, TEndDrag{});
    ToolAction = 0;
    if (!Alive()) {
        stepMap_ = 0;
        return;
    }
    TMap* map = MapById(stepMap_);
    if (!map) {
        stepMap_ = 0;
        return;
    }
    // The step ends on the map where it began, whichever is current now.
    const TAtExit closeStep([this] {
        CloseStep();
        UpdateEditMenu();
    });
    // The end goes where the button came up, snapped as the next tick would
    // snap it: the ticks may not have caught up with a quick drag. Ticks move
    // only the current map's element, and so does this.
    if (map == &CurrentMap()) {
        SyncMapView(*map);
        bool snapped = false;
        TPoint at;
        if (placing != 0)
            map->SnapPointEx(x, y, placing, snapped);
        else if (drag.Moving && drag.Map == map->Id())
            MoveEndsTo(*map, drag, x, y, at, snapped);
    }
    map->Normalize();
}

void TForm1::EndGesture()
{
    FinishGesture(MouseX, MouseY);
    // The button may come up in a dialog: the view must not wait for it.
    MainViewButtons = 0;
}

void TForm1::NoticeMissingRelease(std::uint8_t held, std::int32_t x, std::int32_t y)
{
    const auto lost = static_cast<std::uint8_t>(MainViewButtons & ~held);
    if (lost == 0 || !Alive()) return;
    // Released where the view never saw it: the first release ends every gesture.
    PaintBox1MouseUp(lost & 1 ? TMouseButton::Left : lost & 2 ? TMouseButton::Right : TMouseButton::Middle, x, y);
    MainViewButtons &= held;
}

bool TForm1::event(QEvent* event)
{
    // A modal window (a question, an error, a file or colour dialog) takes
    // the mouse from here on, the release of a drag included.
    if (event->type() == QEvent::WindowBlocked) RunGuarded([this] { EndGesture(); });
    return QWidget::event(event);
}

void TForm1::PaintBox2MouseDown(TMouseButton, std::int32_t, std::int32_t) { OverviewTracking = true; }

void TForm1::PaintBox2MouseMove(std::int32_t x, std::int32_t y)
{
    if (!OverviewTracking || !Alive()) return;
    const TPoint origin = OverviewToView(CurrentMap(), x, y, PaintBox2->width(), PaintBox2->height());
    HB->SetPosition(origin.x);
    VB->SetPosition(origin.y);
}

void TForm1::PaintBox2MouseUp(TMouseButton, std::int32_t, std::int32_t) { OverviewTracking = false; }

TViewTransform TForm1::View() const
{
    return {HB->Position(), VB->Position(), PaintBox1->width(), PaintBox1->height(), Zoom};
}

TPoint TForm1::WorldAt(std::int32_t x, std::int32_t y) const { return View().ToWorld(x, y); }

void TForm1::SyncMapView(TMap& map) const { map.SetView(View()); }

TForm1::TTickInputs TForm1::TickInputs() const
{
    const TMap& map = CurrentMap();
    return {map.Id(),      map.Revision(), map.BorderCount(), map.RailCount(), map.StartRail,      map.FinishRail,
            map.SelRail,   map.SelBorder,  HB->Position(),    VB->Position(),  MouseX,             MouseY,
            Zoom.Shift,    Placing(),     endDrag_.Moving,       ListBox1->ItemIndex(), ListBox1->SelectedText()};
}

void TForm1::Timer1Timer()
{
    if (!Alive()) return;
    UpdateEditMenu();
    RefreshRouteFaults();
    // Nothing that the frame shows has changed since the last drawn tick:
    // drawing it again would give the same pixels and caption.
    TTickInputs inputs = TickInputs();
    if (lastTick_ && *lastTick_ == inputs) return;
    ++TicksDrawn;
    TMap& map = CurrentMap();
    SyncMapView(map);
    if (endDrag_.Moving && map.Id() == endDrag_.Map)
        DrawMovingEnds(map);
    else
        view_->DrawFrame(map, *DrawCanvas, MouseX, MouseY, Placing());
    if (ListBox1->ItemIndex() < 0) ListBox1->SetItemIndex(0);
    const QImage& pixels = BackBuffer->Image();
    PaintBox1->SetPicture(pixels.copy(0, 0, PaintBox1->width(), PaintBox1->height()));
    overview_->Draw(map, *DrawCanvas, PaintBox2->width(), PaintBox2->height(), HB->Position(), VB->Position());
    PaintBox2->SetPicture(BackBuffer->Image().copy(0, 0, PaintBox2->width(), PaintBox2->height()));
    setWindowTitle(QString::fromUtf8("Редактор карт - ") + ListBox1->SelectedText());
    // The inputs as the tick found them: a tick that moved the element being
    // drawn out changed the map, so the next one draws it where it now is.
    lastTick_ = std::move(inputs);
}
