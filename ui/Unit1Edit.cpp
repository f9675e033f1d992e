// The Edit menu (undo and redo) and the Delete and Escape keys.
#include <QAction>

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
    case TStepKind::Move: return "перемещение";
    case TStepKind::Cut: return "вырезать";
    case TStepKind::Paste: return "вставить";
    case TStepKind::Cleanup: return "очистка";
    case TStepKind::Arc: return "дуга";
    case TStepKind::Coordinates: return "координаты";
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
    const bool rail = map.SelRail >= 0 && map.SelRail < map.RailCount();
    const bool border = map.SelBorder >= 0 && map.SelBorder < map.BorderCount();
    if (ArcItem->isEnabled() != rail) ArcItem->setEnabled(rail);
    if (CoordinatesItem->isEnabled() != (rail || border)) CoordinatesItem->setEnabled(rail || border);
}

void TForm1::N11Click()
{
    if (!Alive() || gestures_.Busy()) return;
    CurrentMap().Undo();
    UpdateEditMenu();
}

void TForm1::N12Click()
{
    if (!Alive() || gestures_.Busy()) return;
    CurrentMap().Redo();
    UpdateEditMenu();
}

void TForm1::DeleteKeyPress() { Button2Click(); }


TMap* TForm1::MapById(std::uint64_t id) const
{
    if (id == 0 || !MapList) return nullptr;
    for (const auto& map : MapList->Maps)
        if (map && map->Id() == id) return map.get();
    return nullptr;
}
