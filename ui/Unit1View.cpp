// The main view's and the overview's mouse handlers, which hand the events to
// the gestures, the window's side of the gestures (TGestureHost), and the
// redraw tick.
#include <QEvent>
#include <QTimer>
#include <utility>

#include "draw/OverviewCache.h"
#include "draw/RouteMarks.h"
#include "draw/ViewCache.h"
#include "model/Checked.h"
#include "model/MapFile.h"
#include "model/TLiveRoutes.h"
#include "ui/RunGuarded.h"
#include "ui/TDrawGesture.h"
#include "ui/TListBox.h"
#include "ui/TRadioGroup.h"
#include "ui/TScrollBar.h"
#include "ui/TSelectGesture.h"
#include "ui/TViewGestures.h"
#include "ui/Unit1.h"

std::uint8_t TForm1::ToolAction() const
{
    const TDrawGesture* drawing = gestures_.Find<TDrawGesture>();
    return drawing ? drawing->What() : 0;
}

std::uint8_t TForm1::Placing() const
{
    const TDrawGesture* drawing = gestures_.Find<TDrawGesture>();
    return drawing ? drawing->Placing(CurrentMap()) : 0;
}

bool TForm1::MovingEnds() const
{
    const TSelectGesture* selecting = gestures_.Find<TSelectGesture>();
    return selecting && selecting->Moving();
}

bool TForm1::Panning() const { return gestures_.Find<TPanGesture>() != nullptr; }

bool TForm1::OverviewTracking() const { return gestures_.Find<TOverviewGesture>() != nullptr; }

TPress TForm1::PressOf(TGestureSurface surface, TMouseButton button, std::int32_t x, std::int32_t y) const
{
    TPress press;
    press.Surface = surface;
    press.Button = button;
    press.X = x;
    press.Y = y;
    press.Tool = RadioGroup1->ItemIndex();
    press.Shift = PaintBox1->Modifiers.testFlag(Qt::ShiftModifier);
    press.Ctrl = PaintBox1->Modifiers.testFlag(Qt::ControlModifier);
    return press;
}

TPoint TForm1::PressPoint(std::int32_t x, std::int32_t y)
{
    // A press picks and places in the view as shown now.
    SyncMapView(CurrentMap());
    return WorldAt(x, y);
}

void TForm1::PaintBox1MouseDown(TMouseButton button, std::int32_t x, std::int32_t y)
{
    if (!Alive()) return;
    MouseX = x;
    MouseY = y;
    gestures_.Press(PressOf(TGestureSurface::MainView, button, x, y));
}

void TForm1::PaintBox1MouseMove(std::int32_t x, std::int32_t y)
{
    MouseX = x;
    MouseY = y;
    gestures_.Move(TGestureSurface::MainView, x, y);
}

void TForm1::PaintBox1MouseUp(TMouseButton button, std::int32_t x, std::int32_t y)
{
    MouseX = x;
    MouseY = y;
    const std::uint64_t gestureMap = gestures_.StepMap();
    gestures_.Release(button, x, y);
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

void TForm1::EndGesture() { gestures_.End(MouseX, MouseY); }

void TForm1::NoticeMissingRelease(std::uint8_t held, std::int32_t x, std::int32_t y)
{
    const auto lost = static_cast<std::uint8_t>(gestures_.Buttons() & ~held);
    if (lost == 0) return;
    // Released where the view never saw it: the first release ends every gesture.
    PaintBox1MouseUp(lost & 1 ? TMouseButton::Left : lost & 2 ? TMouseButton::Right : TMouseButton::Middle, x, y);
    gestures_.KeepButtons(held);
}

bool TForm1::event(QEvent* event)
{
    // A modal window (a question, an error, a file or colour dialog) takes
    // the mouse from here on, the release of a drag included.
    if (event->type() == QEvent::WindowBlocked)
        RunGuarded([this] {
            EndGesture();
            HB->LetGo();
            VB->LetGo();
        });
    return QWidget::event(event);
}

void TForm1::PaintBox2MouseDown(TMouseButton button, std::int32_t x, std::int32_t y)
{
    if (Alive()) gestures_.Press(PressOf(TGestureSurface::Overview, button, x, y));
}

void TForm1::PaintBox2MouseMove(std::int32_t x, std::int32_t y) { gestures_.Move(TGestureSurface::Overview, x, y); }

void TForm1::PaintBox2MouseUp(TMouseButton, std::int32_t x, std::int32_t y) { gestures_.ReleaseOverview(x, y); }

void TForm1::ScrollTo(std::int32_t x, std::int32_t y)
{
    HB->SetPosition(x);
    VB->SetPosition(y);
}

TPoint TForm1::OverviewSize() const { return {PaintBox2->width(), PaintBox2->height()}; }

TColor TForm1::DrawingColor() const { return ColorDialog1->Color(); }

TViewTransform TForm1::View() const
{
    return {HB->Position(), VB->Position(), PaintBox1->width(), PaintBox1->height(), Zoom};
}

TPoint TForm1::WorldAt(std::int32_t x, std::int32_t y) const { return View().ToWorld(x, y); }

void TForm1::SyncMapView(TMap& map) const { map.SetView(View()); }

void TForm1::DrawView(const TMap& map, TCanvas& canvas) { view_->DrawView(map, canvas); }

std::uint64_t TForm1::ViewRebuilds() const { return view_->Rebuilds(); }

TForm1::TTickInputs TForm1::TickInputs() const
{
    const TMap& map = CurrentMap();
    return {map.Id(),      map.Revision(), map.StartRail, map.FinishRail, map.SelRail,          map.SelBorder,
            HB->Position(), VB->Position(), MouseX,        MouseY,         Zoom.Shift,           Placing(),
            MovingEnds(),   ListBox1->ItemIndex(), ListBox1->SelectedText(), LiveRouteCheck(),
            overlayRevision_, Measures(), ArcDrawing()};
}

void TForm1::DrawLiveMarks(const TMap& map)
{
    LiveRoutes->Follow(map);
    const TViewTransform view = View();
    const TWorldRect shown = view.Shown();
    // A ring reaches past the view by its radius and pen: its centre may lie outside.
    const std::int64_t margin = Zoom.Extent(RouteMarkRadius + RouteMarkPen) + 1;
    liveMarks_.clear();
    LiveRoutes->MarksIn(map, Checked::Saturated(shown.x1 - margin), Checked::Saturated(shown.y1 - margin),
                        Checked::Saturated(shown.x2 + margin), Checked::Saturated(shown.y2 + margin), true, liveMarks_);
    DrawRouteMarks(*DrawCanvas, view, RouteMarksOf(liveMarks_));
}

void TForm1::DrawLiveOverview(const TMap& map)
{
    // Every mark of the map, found again only when the map changed.
    const TLiveOverviewKey key{map.Id(), map.Revision(), map.StartRail, map.FinishRail};
    if (!overviewMarksKey_ || *overviewMarksKey_ != key) {
        LiveRoutes->Follow(map);
        liveMarks_.clear();
        LiveRoutes->MarksIn(map, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, true, liveMarks_);
        const TOverviewScale scale(map, PaintBox2->width(), PaintBox2->height());
        overviewMarks_ = OverviewRouteMarkPixels(scale, PaintBox2->width(), PaintBox2->height(), RouteMarksOf(liveMarks_));
        overviewMarksKey_ = key;
    }
    DrawOverviewRouteMarks(*DrawCanvas, overviewMarks_);
}

std::vector<TRouteMark> TForm1::RouteMarksOf(const std::vector<TLiveMark>& marks)
{
    // Warnings first, so that a fault's red lies over a warning's yellow.
    std::vector<TRouteMark> drawn;
    drawn.reserve(marks.size());
    for (const bool warnings : {true, false})
        for (const TLiveMark& mark : marks)
            if (IsWarning(mark.Kind) == warnings) drawn.push_back({mark.At.x, mark.At.y, warnings});
    return drawn;
}

bool TForm1::ReadyToDraw(TMap& map, bool withOverview)
{
    // At 1:1 and closer the view shows a small part of any map; a small map
    // draws whole within a tick; a gesture moves what it draws at every tick.
    if (MapFileSize(map) < PicturesAwayFrom || !gestures_.Idle()) return true;
    const bool view = Zoom.Shift < 0 && !view_->Shows(map);
    const bool overview = withOverview && overview_->Redraws(map, PaintBox2->width(), PaintBox2->height());
    if (!view && !overview) return true;
    // A scroll bar's drag moves the view many times a second: the view is
    // drawn once, where the button comes up.
    if (view && (HB->Held() || VB->Held())) return false;
    const std::int32_t width = PaintBox2->width(), height = PaintBox2->height();
    RunPictureWork(map, view ? "Вид" : "Миникарта", [this, &map, view, overview, width, height] {
        if (view) view_->Refresh(map);
        if (overview) overview_->Refresh(map, width, height);
    });
    // What moved while the worker drew (a scroll bar's drag before the
    // progress dialog took the mouse) is drawn by the next tick, from its
    // final position.
    return Alive() && &CurrentMap() == &map && map.View() == View();
}

void TForm1::Timer1Timer()
{
    // The window shows its last frame until the worker's picture is ready.
    if (!Alive() || viewOnWorker_) return;
    UpdateEditMenu();
    // The last check's list may change with nothing drawn (a passed check);
    // the live list follows the map, renewed below once the frame has moved
    // the end being drawn out.
    if (!LiveRouteCheck()) RefreshRouteFaults();
    // Nothing that the frame shows has changed since the last drawn tick:
    // drawing it again would give the same pixels and caption.
    TTickInputs inputs = TickInputs();
    if (lastTick_ && *lastTick_ == inputs && !restLate_) return;
    TMap& map = CurrentMap();
    // A large map shown for the first time gets its view first: its overview
    // (a picture of every element) and its live route check, neither of which
    // the first frame needs, follow at the next tick.
    const bool late =
        !restLate_ && overviewMap_ != map.Id() && map.BorderCount() + map.RailCount() >= OverviewLateFrom;
    SyncMapView(map);
    if (!ReadyToDraw(map, !late)) return;
    ++TicksDrawn;
    restLate_ = late;
    if (!gestures_.DrawFrame(map, *DrawCanvas, MouseX, MouseY))
        view_->DrawFrame(map, *DrawCanvas, MouseX, MouseY, Placing());
    if (ListBox1->ItemIndex() < 0) ListBox1->SetItemIndex(0);
    const bool live = LiveRouteCheck() && !restLate_;
    if (live) DrawLiveMarks(map);
    const QImage& pixels = BackBuffer->Image();
    QImage frame = pixels.copy(0, 0, PaintBox1->width(), PaintBox1->height());
    DrawOverlay(frame);
    PaintBox1->SetPicture(std::move(frame));
    if (!restLate_) {
        overview_->Draw(map, *DrawCanvas, PaintBox2->width(), PaintBox2->height(), HB->Position(), VB->Position());
        if (live) DrawLiveOverview(map);
        PaintBox2->SetPicture(BackBuffer->Image().copy(0, 0, PaintBox2->width(), PaintBox2->height()));
        overviewMap_ = map.Id();
    }
    setWindowTitle(QString::fromUtf8("Редактор карт - ") + ListBox1->SelectedText());
    // The frame moved the end being drawn out: the live list shows the map as drawn.
    if (live) RefreshRouteFaults();
    // The inputs as the tick found them: a tick that moved the element being
    // drawn out changed the map, so the next one draws it where it now is.
    lastTick_ = std::move(inputs);
}
