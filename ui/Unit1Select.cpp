// Selecting many elements, moving them with the arrow keys, and the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "model/MapClipboard.h"
#include "platform/Dialogs.h"
#include "ui/Unit1.h"

namespace {

/// The selected elements of map as the clipboard's map bytes and text.
QMimeData* SelectionAsMime(const TMap& map)
{
    const std::vector<TBorder> borders = map.SelectedBorders();
    const std::vector<TRail> rails = map.SelectedRails();
    const std::vector<std::uint8_t> bytes = EncodeClipboardMap(borders, rails);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MapClipboardMime),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    data->setText(QString::fromStdString(ClipboardText(borders, rails)));
    return data;
}

} // namespace

void TForm1::EscapeKeyPress()
{
    if (!Alive()) return;
    if (gestures_.Busy()) {
        gestures_.Escape();
        return;
    }
    CurrentMap().ClearSelection();
}

void TForm1::SelectAllClick()
{
    EndGesture();
    if (Alive()) CurrentMap().SelectAll();
}

void TForm1::CopyClick()
{
    EndGesture();
    if (!Alive() || CurrentMap().SelectedCount() == 0) return;
    QApplication::clipboard()->setMimeData(SelectionAsMime(CurrentMap()));
}

void TForm1::CutClick()
{
    EndGesture();
    if (!Alive() || CurrentMap().SelectedCount() == 0) return;
    TMap& map = CurrentMap();
    QApplication::clipboard()->setMimeData(SelectionAsMime(map));
    {
        const TEditStep step(map, TStepKind::Cut);
        map.DeleteSelected();
    }
    UpdateEditMenu();
}

void TForm1::PasteClick() { Paste(false); }

void TForm1::PasteInPlaceClick() { Paste(true); }

void TForm1::Paste(bool inPlace)
{
    EndGesture();
    if (!Alive()) return;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const QString mime = QString::fromLatin1(MapClipboardMime);
    // Another program's content, or damaged bytes, paste nothing and say nothing.
    if (!data || !data->hasFormat(mime)) return;
    const QByteArray bytes = data->data(mime);
    const std::optional<TClipboardElements> elements = DecodeClipboardMap(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    if (!elements || (elements->Borders.empty() && elements->Rails.empty())) return;
    TMap& map = CurrentMap();
    SyncMapView(map);
    std::optional<TPoint> centre;
    if (!inPlace) {
        const TViewTransform view = View();
        centre = PaintBox1->MouseInside ? WorldAt(MouseX, MouseY) : WorldAt(view.Width / 2, view.Height / 2);
    }
    try {
        const TEditStep step(map, TStepKind::Paste);
        PasteElements(map, *elements, centre);
    } catch (const ERangeError&) {
        Messages().ShowError("Слишком много элементов для этой карты");
    } catch (const EOutOfMemory&) {
        Messages().ShowError("Слишком много элементов для этой карты");
    }
    UpdateEditMenu();
}

void TForm1::ArrowKeyPress(std::int32_t dx, std::int32_t dy, bool shift)
{
    if (!Alive() || gestures_.Busy()) return;
    TMap& map = CurrentMap();
    const std::int32_t units = shift ? 10 : 1;
    // The run goes on while nothing else changed the map since its last press:
    // its step is taken back and made again with the whole move.
    const bool goesOn = arrowRun_.MapId == map.Id() && arrowRun_.Revision == map.Revision() && map.CanUndo() &&
                        map.UndoKind() == TStepKind::Move;
    TPoint wanted{dx * units, dy * units};
    if (goesOn && map.Undo()) {
        wanted.x += arrowRun_.Moved.x;
        wanted.y += arrowRun_.Moved.y;
    }
    TPoint moved;
    {
        const TEditStep step(map, TStepKind::Move);
        moved = map.MoveSelected(wanted.x, wanted.y);
    }
    // A press that moved nothing made no step: nothing of it may be taken back.
    arrowRun_ = moved.x != 0 || moved.y != 0 ? TArrowRun{map.Id(), map.Revision(), moved} : TArrowRun{};
    UpdateEditMenu();
}
