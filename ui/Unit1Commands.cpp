// The File menu, the buttons, the map list and closing, in the order the window shows them.
#include <QCloseEvent>
#include <QTimer>
#include <algorithm>

#include "draw/PictureExport.h"
#include "ui/RunGuarded.h"
#include "ui/TListBox.h"
#include "ui/TRecoveryKeeper.h"
#include "ui/TRouteFaultsWindow.h"
#include "ui/TScrollBar.h"
#include "ui/Unit1.h"

namespace {

/// Runs a command on the current map as one step of its history.
template <class F>
void EditCurrentMap(TForm1& form, TStepKind kind, F command)
{
    {
        TMap& map = form.CurrentMap();
        const TEditStep step(map, kind);
        command(map);
    }
    form.UpdateEditMenu();
}

/// Highlights the current map's line when the scope ends, also when the
/// command in it raised: a load that failed may have made a new map current,
/// and closing maps moves the highlight with its line while map 0 becomes
/// current. The highlight must name the map that the commands act on.
class THighlightCurrentMap {
public:
    explicit THighlightCurrentMap(TForm1& form) : form_(form) {}
    ~THighlightCurrentMap() { form_.ListBox1->SetItemIndex(form_.MapList->Current); }
    THighlightCurrentMap(const THighlightCurrentMap&) = delete;
    THighlightCurrentMap& operator=(const THighlightCurrentMap&) = delete;

private:
    TForm1& form_;
};

} // namespace

void TForm1::N2Click()
{
    EndGesture();
    if (!Alive()) return;
    MapList->NewMap();
    ListBox1->SetItemIndex(MapList->Current);
    UpdateEditMenu();
}

void TForm1::N3Click()
{
    EndGesture();
    if (!Alive()) return;
    {
        const THighlightCurrentMap highlight(*this);
        MapList->OpenMap();
    }
    UpdateEditMenu();
}

void TForm1::N4Click()
{
    // Only a map without a name asks; a drag goes on across a plain save.
    if (Alive() && CurrentMap().FileName.empty()) EndGesture();
    if (Alive()) MapList->SaveMap(MapList->Current);
}

void TForm1::N7Click()
{
    if (!Alive()) return;
    if (std::any_of(MapList->Maps.begin(), MapList->Maps.end(), [](const auto& map) { return map->FileName.empty(); }))
        EndGesture();
    const std::int32_t count = MapList->Count();
    for (std::int32_t i = 0; i < count; ++i) MapList->SaveMap(i);
}

void TForm1::f1Click()
{
    EndGesture();
    if (Alive()) MapList->SaveMapAs(MapList->Current);
}

void TForm1::N9Click()
{
    EndGesture();
    if (!Alive()) return;
    ExportPicture(CurrentMap(), *sp, bitmaps_,
                  [this](const std::string& path) { return MapList->OpenMapOfFile(path); });
}

void TForm1::c1Click()
{
    EndGesture();
    if (!Alive()) return;
    MapList->CloseMap(MapList->Current);
    ListBox1->SetItemIndex(MapList->Current);
    UpdateEditMenu();
}

void TForm1::N6Click() { close(); }

void TForm1::Button3Click()
{
    EndGesture();
    if (!Alive()) return;
    EditCurrentMap(*this, TStepKind::Reverse, [](TMap& map) { map.ReverseSelected(); });
}

void TForm1::Button6Click()
{
    EndGesture();
    if (!Alive()) return;
    EditCurrentMap(*this, TStepKind::MakeStart, [](TMap& map) { map.SetStartRail(map.SelRail); });
}

void TForm1::Button7Click()
{
    EndGesture();
    if (!Alive()) return;
    EditCurrentMap(*this, TStepKind::MakeFinish, [](TMap& map) { map.SetFinishRail(map.SelRail); });
}

void TForm1::Button2Click()
{
    EndGesture();
    if (!Alive()) return;
    EditCurrentMap(*this, TStepKind::Delete, [](TMap& map) { map.DeleteSelected(); });
}

void TForm1::Button4Click()
{
    EndGesture();
    if (!Alive()) return;
    const TColor color = ColorDialog1->Color();
    EditCurrentMap(*this, TStepKind::Recolor, [color](TMap& map) { map.RecolorSelected(color); });
}

void TForm1::Button1Click()
{
    EndGesture();
    // The dialog keeps the chosen colour itself; a cancel leaves it as it was.
    // A selection of many takes the chosen colour too.
    if (ColorDialog1->Execute() && Alive() && CurrentMap().ManySelected()) {
        const TColor color = ColorDialog1->Color();
        EditCurrentMap(*this, TStepKind::Recolor, [color](TMap& map) { map.RecolorSelected(color); });
    }
}

void TForm1::Button8Click()
{
    if (!Alive()) return;
    const TMap& map = CurrentMap();
    if (map.SelBorder >= 0 && map.SelBorder < map.BorderCount()) ColorDialog1->SetColor(map.GetBorderColor(map.SelBorder));
}

void TForm1::Button5Click()
{
    EndGesture();
    if (!Alive()) return;
    TMap& map = CurrentMap();
    std::int32_t faultRail = -1;
    // The check's clean-up may remove elements of a map changed behind the
    // editor's back; its links and the selection are no step.
    EditCurrentMap(*this, TStepKind::Cleanup, [&faultRail](TMap& m) {
        m.CheckRoutes(faultRail);
        m.SelectRail(faultRail);
    });
    HB->SetPosition(map.ViewX);
    VB->SetPosition(map.ViewY);
    ShowRouteNotice(RouteNoticeText(faultRail, map.LastRouteFaults()));
    RefreshRouteFaults();
}

void TForm1::ListBox1Click()
{
    if (!Alive()) return;
    const std::int32_t line = ListBox1->ItemIndex();
    if (line >= 0 && line < MapList->Count() && line != MapList->Current) {
        EndGesture();
        MapList->Current = line;
    }
    UpdateEditMenu();
}

bool TForm1::FormClose()
{
    EndGesture();
    if (!Alive()) return true;
    bool closed = false;
    {
        const THighlightCurrentMap highlight(*this);
        closed = MapList->CloseAll();
    }
    if (!closed) return false;
    Timer1->stop();
    RecoveryTimer->stop();
    // Every map was saved or let go by the user: no copy is wanted any more.
    if (Recovery) Recovery->Exit();
    RouteNoticeTimerTimer();
    if (RouteFaults) RouteFaults->hide();
    gestures_.Clear();
    DrawCanvas = nullptr;
    MapList.reset();
    BackBuffer.reset();
    return true;
}

void TForm1::closeEvent(QCloseEvent* event)
{
    bool accepted = false;
    RunGuarded([&] { accepted = FormClose(); });
    if (accepted)
        event->accept();
    else
        event->ignore();
}
