#include "ui/TRouteFaultsWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "model/TLiveRoutes.h"
#include "ui/RunGuarded.h"

namespace {

/// The words as a QString: the model holds every fault's words once.
QString Words(TLiveFaultKind kind)
{
    const std::string_view words = LiveFaultWords(kind);
    return QString::fromUtf8(words.data(), static_cast<qsizetype>(words.size()));
}

/// "Рельс 12: нет следующего" for a rail, or the words alone, capitalised.
QString FaultLine(std::int32_t rail, const QString& words)
{
    if (rail >= 0) return QString::fromUtf8("Рельс %1: %2").arg(rail).arg(words);
    return words.left(1).toUpper() + words.mid(1);
}

// The live check's first kinds are the route check's own, in its order.
static_assert(static_cast<int>(TLiveFaultKind::ThirdSuccessor) == static_cast<int>(TRouteFaultKind::ThirdSuccessor) &&
              static_cast<int>(TLiveFaultKind::NoFinish) == static_cast<int>(TRouteFaultKind::NoFinish));

} // namespace

QString RouteFaultWords(TRouteFaultKind kind) { return Words(static_cast<TLiveFaultKind>(kind)); }

QString RouteFaultLine(const TRouteFault& fault) { return FaultLine(fault.Rail, RouteFaultWords(fault.Kind)); }

QString RouteNoticeText(std::int32_t faultRail, const std::optional<TRouteFaultList>& faults)
{
    if (!faults || faults->Total == 0) return QString::fromUtf8("Пути в порядке");
    // The reported rail is the last one a fault named.
    QStringList named;
    if (faultRail >= 0 && faults->Reported.Rail == faultRail) {
        named << RouteFaultLine(faults->Reported);
    } else if (faultRail < 0) {
        for (const TRouteFault& fault : faults->WholeMap)
            named << (named.isEmpty() ? RouteFaultLine(fault) : RouteFaultWords(fault.Kind));
    }
    QString text = named.join(QStringLiteral(", "));
    if (faults->Total > named.size()) text += QString::fromUtf8(" (всего ошибок: %1)").arg(faults->Total);
    return text;
}

TRouteFaultsWindow::TRouteFaultsWindow(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QString::fromUtf8("Ошибки путей"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    Label1 = new QLabel(this);
    Label1->setWordWrap(true);
    ListBox1 = new QListWidget(this);
    // Every line is one line of text: the list need not measure 100,000 of them.
    ListBox1->setUniformItemSizes(true);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1);
    resize(300, 320);
    // Enter on a line does what a click does; a double click reaches both, which only centres twice.
    connect(ListBox1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { RunGuarded([&] { LineClicked(ListBox1->row(item)); }); });
    connect(ListBox1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { RunGuarded([&] { LineClicked(ListBox1->row(item)); }); });
}

namespace {

/// Lines at most in the list; the rest are counted in "и ещё N".
constexpr std::int64_t MostLines = 100000;

QString LiveLine(const TLiveFault& fault)
{
    // The unreachable finish is a fault of the whole route, though it names the finish rail.
    return FaultLine(fault.Kind == TLiveFaultKind::FinishUnreachable ? -1 : fault.Rail, Words(fault.Kind));
}

} // namespace

void TRouteFaultsWindow::ShowLive(const TMap& map, TLiveRoutes& live)
{
    live.Follow(map);
    const TShown now{map.Id(), map.Revision(), map.DisplayName(), true, map.StartRail, map.FinishRail};
    if (shown_ && *shown_ == now) return;
    shown_ = now;
    ListBox1->clear();
    lineRails_.clear();
    const std::int64_t faults = live.FaultCount(), warnings = live.WarningCount();
    Label1->setText(QString::fromUtf8("%1 — ошибок: %2, предупреждений: %3")
                        .arg(QString::fromStdString(now.Name))
                        .arg(faults)
                        .arg(warnings));
    QStringList lines;
    std::int64_t rest = 0;
    const auto add = [&](const TLiveFault& fault) {
        if (static_cast<std::int64_t>(lines.size()) >= MostLines) {
            ++rest;
            return true;
        }
        lines << LiveLine(fault);
        lineRails_.push_back(fault.Rail);
        return true;
    };
    live.ForEachFault(add);
    live.ForEachWarning(add);
    if (lines.isEmpty()) lines << QString::fromUtf8("Пути в порядке");
    if (rest > 0) lines << QString::fromUtf8("и ещё %1").arg(rest);
    ListBox1->addItems(lines);
}

void TRouteFaultsWindow::ShowFaults(const TMap& map)
{
    const TShown now{map.Id(), map.RouteFaultsRevision(), map.DisplayName()};
    if (shown_ && *shown_ == now) return;
    shown_ = now;
    ListBox1->clear();
    lineRails_.clear();
    const QString name = QString::fromStdString(now.Name);
    const auto& faults = map.LastRouteFaults();
    firstRailId_ = faults ? faults->FirstRailId : 0;
    if (!faults) {
        Label1->setText(QString::fromUtf8("%1 — пути не проверялись").arg(name));
        return;
    }
    if (faults->Total == 0) {
        Label1->setText(QString::fromUtf8("%1 — ошибок нет").arg(name));
        ListBox1->addItem(QString::fromUtf8("Пути в порядке"));
        return;
    }
    Label1->setText(QString::fromUtf8("%1 — ошибок: %2").arg(name).arg(faults->Total));
    // Up to 100,000 lines go in at once: one insertion, not one per line.
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(faults->Listed.size()) + 1);
    lineRails_.reserve(faults->Listed.size());
    for (const TRouteFault& fault : faults->Listed) {
        lines << RouteFaultLine(fault);
        lineRails_.push_back(fault.Rail);
    }
    const std::int64_t rest = faults->Total - static_cast<std::int64_t>(faults->Listed.size());
    if (rest > 0) lines << QString::fromUtf8("и ещё %1").arg(rest);
    ListBox1->addItems(lines);
}

QStringList TRouteFaultsWindow::Lines() const
{
    QStringList lines;
    for (int i = 0; i < ListBox1->count(); ++i) lines << ListBox1->item(i)->text();
    return lines;
}

std::int32_t TRouteFaultsWindow::RailOfLine(int line) const
{
    return line >= 0 && static_cast<std::size_t>(line) < lineRails_.size() ? lineRails_[static_cast<std::size_t>(line)] : -1;
}

void TRouteFaultsWindow::LineClicked(int line)
{
    const std::int32_t rail = RailOfLine(line);
    if (rail >= 0 && shown_ && shown_->Live) {
        if (OnLiveRailClick) OnLiveRailClick(shown_->Map, rail);
        return;
    }
    if (rail >= 0 && shown_ && OnRailClick) OnRailClick(shown_->Map, firstRailId_ + static_cast<std::uint32_t>(rail));
}
