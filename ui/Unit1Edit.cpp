// The Edit menu (undo and redo), the Delete and Escape keys, and the steps
// that a press in the main view opens: drawing out an element, moving ends.
#include <QAction>

#include "draw/MapDraw.h"
#include "model/Checked.h"
#include "ui/Unit1.h"

namespace {

/// How the Edit menu names a step: "Отменить: рельс".
const char* StepName(TStepKind kind)
{
    switch (kind) {
    case TStepKind::DrawRail: return "рельс";
    case TStepKind::DrawBorder: return "линия";
    case TStepKind::Reverse: return "поменять";
    case TStepKind::MakeStart: return "сделать стартовым";
    case TStepKind::MakeFinish: return "сделать финишным";
    case TStepKind::Delete: return "удалить";
    case TStepKind::Recolor: return "сменить цвет";
    case TStepKind::MoveEnd: return "перемещение конца";
    case TStepKind::Cleanup: return "очистка";
    }
    return "";
}

void ShowItem(QAction* item, const char* caption, bool enabled, TStepKind kind)
{
    QString text = QString::fromUtf8(caption);
    if (enabled) text += QString::fromUtf8(": ") + QString::fromUtf8(StepName(kind));
    // Set only on a change: the tick runs this twenty times a second.
    if (item->text() != text) item->setText(text);
    if (item->isEnabled() != enabled) item->setEnabled(enabled);
}

} // namespace

void TForm1::UpdateEditMenu()
{
    if (!Alive()) return;
    const TMap& map = CurrentMap();
    const bool canUndo = map.CanUndo();
    const bool canRedo = map.CanRedo();
    ShowItem(N11, "Отменить", canUndo, canUndo ? map.UndoKind() : TStepKind::Cleanup);
    ShowItem(N12, "Вернуть", canRedo, canRedo ? map.RedoKind() : TStepKind::Cleanup);
}

void TForm1::N11Click()
{
    if (!Alive() || MainViewButtons != 0 || stepMap_ != 0) return;
    CurrentMap().Undo();
    UpdateEditMenu();
}

void TForm1::N12Click()
{
    if (!Alive() || MainViewButtons != 0 || stepMap_ != 0) return;
    CurrentMap().Redo();
    UpdateEditMenu();
}

void TForm1::DeleteKeyPress() { Button2Click(); }

void TForm1::EscapeKeyPress()
{
    if (!Alive() || stepMap_ == 0) return;
    if (ToolAction == 0 && !endDrag_.Moving) return;
    if (TMap* map = MapById(stepMap_)) map->CancelStep();
    stepMap_ = 0;
    ToolAction = 0;
    endDrag_ = {};
    UpdateEditMenu();
}

TMap* TForm1::MapById(std::uint64_t id) const
{
    if (id == 0 || !MapList) return nullptr;
    for (const auto& map : MapList->Maps)
        if (map && map->Id() == id) return map.get();
    return nullptr;
}

void TForm1::OpenStep(TMap& map, TStepKind kind)
{
    if (stepMap_ == map.Id()) return; // a second button joins the step of the first
    CloseStep();
    map.BeginStep(kind);
    stepMap_ = map.Id();
}

void TForm1::CloseStep()
{
    if (TMap* map = MapById(stepMap_)) map->EndStep();
    stepMap_ = 0;
}

bool TForm1::MoveEndsTo(TMap& map, const TEndDrag& drag, std::int32_t x, std::int32_t y, TPoint& at, bool& snapped)
{
    // A command that added or deleted elements meanwhile has made the
    // pressed indices meaningless: the ends stay where they are.
    snapped = false;
    if (map.RailCount() != drag.Rails || map.BorderCount() != drag.Borders) return false;
    at = map.SnapMovingPoint(x, y, drag.Ends, snapped);
    map.MoveEnds(drag.Ends, map.SnappedWorldPoint());
    return true;
}

void TForm1::DrawMovingEnds(TMap& map)
{
    bool snapped = false;
    TPoint at;
    if (MoveEndsTo(map, endDrag_, MouseX, MouseY, at, snapped)) {
        DrawView(map, *DrawCanvas);
        if (snapped) DrawSnapMarker(*DrawCanvas, at.x, at.y);
        return;
    }
    DrawFrame(map, *DrawCanvas, MouseX, MouseY, 0);
}
