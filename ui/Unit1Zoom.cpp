// The View menu's zoom levels and the mouse wheel over the main view.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "draw/ViewCache.h"
#include "model/Checked.h"
#include "model/MapFile.h"
#include "platform/LongWork.h"
#include "ui/TBackgroundWork.h"
#include "ui/TScrollBar.h"
#include "ui/Unit1.h"

namespace {

/// One notch of the wheel (120 eighths of a degree) scrolls this many pixels.
constexpr std::int32_t WheelStepPixels = 60;
constexpr int WheelNotch = 120;

} // namespace

void TForm1::N14Click() { ZoomAbout(TViewZoom{Zoom.Shift + 1}, PaintBox1->width() / 2, PaintBox1->height() / 2); }

void TForm1::N15Click() { ZoomAbout(TViewZoom{Zoom.Shift - 1}, PaintBox1->width() / 2, PaintBox1->height() / 2); }

void TForm1::N16Click() { ZoomAbout(TViewZoom{}, PaintBox1->width() / 2, PaintBox1->height() / 2); }

void TForm1::N17Click()
{
    if (!Alive()) return;
    const TMap& map = CurrentMap();
    if (map.RailCount() + map.BorderCount() == 0) {
        // Nothing to frame: the whole world, from its corner.
        SetZoom(TViewZoom{TViewZoom::MinShift}, 0, 0);
        return;
    }
    std::int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    const auto take = [&](const TLine& line) {
        minX = std::min<std::int64_t>({minX, line.X1, line.X2});
        maxX = std::max<std::int64_t>({maxX, line.X1, line.X2});
        minY = std::min<std::int64_t>({minY, line.Y1, line.Y2});
        maxY = std::max<std::int64_t>({maxY, line.Y1, line.Y2});
    };
    for (const TBorder& border : map.Borders()) take(border);
    for (const TRail& rail : map.Rails()) take(rail);
    // The largest level whose view holds the elements' extent; the smallest
    // when none does.
    TViewZoom zoom{TViewZoom::MaxShift};
    while (zoom.Shift > TViewZoom::MinShift &&
           (maxX - minX > zoom.Extent(PaintBox1->width()) || maxY - minY > zoom.Extent(PaintBox1->height())))
        --zoom.Shift;
    const auto origin = [](std::int64_t low, std::int64_t high, std::int32_t extent) {
        return Checked::Saturated(low - (extent - (high - low)) / 2);
    };
    SetZoom(zoom, origin(minX, maxX, zoom.Extent(PaintBox1->width())),
            origin(minY, maxY, zoom.Extent(PaintBox1->height())));
    // Every element of a large map in sight takes many ticks to draw: the
    // picture is drawn on a worker, and the next tick finds it ready.
    if (MapFileSize(map) < BackgroundWork::From) return;
    RunPictureWork(map, "Вся карта", [this, &map] { view_->Refresh(map); });
}

void TForm1::RunPictureWork(const TMap& map, const std::string& caption, const std::function<void()>& work)
{
    const std::string name = map.FileName.empty() ? map.DisplayName() : FileNameOfPath(map.FileName);
    viewOnWorker_ = true;
    try {
        RunLongWork(caption + ": " + name, MapFileSize(map), work);
    } catch (...) {
        viewOnWorker_ = false;
        throw;
    }
    viewOnWorker_ = false;
}

void TForm1::ZoomAbout(TViewZoom zoom, std::int32_t px, std::int32_t py)
{
    zoom.Shift = std::clamp(zoom.Shift, TViewZoom::MinShift, TViewZoom::MaxShift);
    if (zoom == Zoom) return;
    const TPoint origin = View().OriginZoomedAbout(zoom, px, py);
    SetZoom(zoom, origin.x, origin.y);
}

void TForm1::SetZoom(TViewZoom zoom, std::int32_t originX, std::int32_t originY)
{
    if (!Alive()) return;
    Zoom = zoom;
    SetScrollRanges();
    HB->SetPosition(originX);
    VB->SetPosition(originY);
    // A command before the next tick asks the map in the view it sees.
    SyncMapView(CurrentMap());
}

void TForm1::SetScrollRanges()
{
    // The last whole unit the view shows at the far end of the range is the
    // world's edge itself, so that elements lying along x or y = WorldSize
    // come into view; where the world fits, the origin stays at 0.
    const TViewTransform view = View();
    HB->SetMax(std::max(0, WorldSize + 1 - view.ExtentX()));
    VB->SetMax(std::max(0, WorldSize + 1 - view.ExtentY()));
}

void TForm1::PaintBox1MouseWheel(std::int32_t dx, std::int32_t dy, Qt::KeyboardModifiers modifiers, std::int32_t x,
                                 std::int32_t y)
{
    if (!Alive()) return;
    // Shift turns a vertical wheel horizontal; some systems do so already.
    if (modifiers.testFlag(Qt::ShiftModifier) && dx == 0) std::swap(dx, dy);
    wheelX_ += dx;
    wheelY_ += dy;
    const std::int32_t notchesX = wheelX_ / WheelNotch;
    const std::int32_t notchesY = wheelY_ / WheelNotch;
    wheelX_ %= WheelNotch;
    wheelY_ %= WheelNotch;
    if (modifiers.testFlag(Qt::ControlModifier)) {
        wheelX_ = 0;
        if (notchesY != 0) ZoomAbout(TViewZoom{Zoom.Shift + notchesY}, x, y);
        return;
    }
    const std::int32_t step = std::max(1, Zoom.Extent(WheelStepPixels));
    // Wheel up (away from the user) shows what lies above, and left.
    if (notchesX != 0) HB->SetPosition(HB->Position() - notchesX * step);
    if (notchesY != 0) VB->SetPosition(VB->Position() - notchesY * step);
}
