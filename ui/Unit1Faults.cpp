// The route check's faults in words: the notice over the main view and the
// list of every fault of the last check.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "ui/RunGuarded.h"
#include "ui/TRouteFaultsWindow.h"
#include "ui/TScrollBar.h"
#include "ui/Unit1.h"
#include "ui/ViewOptions.h"

void TForm1::CreateRouteNotice()
{
    RouteNotice = new QLabel(PaintBox1);
    RouteNotice->setAttribute(Qt::WA_TransparentForMouseEvents);
    RouteNotice->setStyleSheet(QStringLiteral("QLabel { background-color: rgba(32, 32, 32, 200); color: white; "
                                              "border-radius: 4px; padding: 6px 12px; }"));
    QFont font = RouteNotice->font();
    font.setPixelSize(14);
    RouteNotice->setFont(font);
    RouteNotice->hide();
    RouteNoticeTimer = new QTimer(this);
    RouteNoticeTimer->setSingleShot(true);
    RouteNoticeTimer->setInterval(RouteNoticeTime);
    connect(RouteNoticeTimer, &QTimer::timeout, this, Guarded([this] { RouteNoticeTimerTimer(); }));
}

void TForm1::ShowRouteNotice(const QString& text)
{
    RouteNotice->setText(text);
    RouteNotice->adjustSize();
    RouteNotice->move(std::max(0, (PaintBox1->width() - RouteNotice->width()) / 2), 12);
    RouteNotice->raise();
    RouteNotice->show();
    RouteNoticeTimer->start();
}

void TForm1::RouteNoticeTimerTimer()
{
    RouteNoticeTimer->stop();
    RouteNotice->hide();
}

bool TForm1::LiveRouteCheck() const { return N20->isChecked(); }

void TForm1::N20Click()
{
    WriteViewOption(LiveRouteCheckKey, N20->isChecked());
    ForgetLastTick();
    RefreshRouteFaults();
}

void TForm1::N19Click()
{
    if (!Alive()) return;
    if (!RouteFaults) {
        RouteFaults = new TRouteFaultsWindow(this);
        RouteFaults->OnRailClick = [this](std::uint64_t map, std::uint32_t rail) { RouteFaultsClick(map, rail); };
        RouteFaults->OnLiveRailClick = [this](std::uint64_t map, std::int32_t rail) { LiveFaultClick(map, rail); };
        // The menus' keys keep working while the list has the focus.
        for (const QMenu* menu : {N1, N10, N13}) RouteFaults->addActions(menu->actions());
        // Beside the main window where the screen leaves room, else over its right edge.
        const QRect frame = frameGeometry();
        QPoint at(frame.right() + 8, frame.top());
        if (const QScreen* screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(std::max(room.left(), std::min(at.x(), room.right() - RouteFaults->width())));
        }
        RouteFaults->move(at);
    }
    RouteFaults->show();
    RefreshRouteFaults();
    RouteFaults->raise();
    RouteFaults->activateWindow();
}

void TForm1::RefreshRouteFaults()
{
    if (!Alive() || !RouteFaults || !RouteFaults->isVisible()) return;
    if (LiveRouteCheck())
        RouteFaults->ShowLive(CurrentMap(), *LiveRoutes);
    else
        RouteFaults->ShowFaults(CurrentMap());
}

void TForm1::LiveFaultClick(std::uint64_t map, std::int32_t rail)
{
    if (!Alive()) return;
    TMap& current = CurrentMap();
    if (current.Id() != map || rail < 0 || rail >= current.RailCount()) return;
    current.SelectRail(rail);
    CentreViewOn(rail);
}

void TForm1::RouteFaultsClick(std::uint64_t map, std::uint32_t rail)
{
    if (!Alive()) return;
    TMap& current = CurrentMap();
    if (current.Id() != map) return;
    // Edits since the check may have moved the rail a line names, or removed
    // it; a rail drawn since has no id from that check and is never taken.
    const std::int32_t index = current.RailWithRouteId(rail);
    if (index < 0) return;
    current.SelectRail(index);
    CentreViewOn(index);
}

void TForm1::CentreViewOn(std::int32_t rail)
{
    const TMap& map = CurrentMap();
    if (rail < 0 || rail >= map.RailCount()) return;
    const TPoint origin = CentredOrigin(map.Rails()[static_cast<std::size_t>(rail)], Zoom.Extent(map.ViewWidth),
                                        Zoom.Extent(map.ViewHeight));
    HB->SetPosition(origin.x);
    VB->SetPosition(origin.y);
}
