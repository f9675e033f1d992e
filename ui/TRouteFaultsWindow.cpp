#include "ui/TRouteFaultsWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "model/TLiveRoutes.h"
#include "ui/RunGuarded.h"

QString RouteFaultWords(TRouteFaultKind kind)
{
    switch (kind) {
    case TRouteFaultKind::ThirdSuccessor: return QString::fromUtf8("третий следующий");
    case TRouteFaultKind::ThirdPredecessor: return QString::fromUtf8("третий предыдущий");
    case TRouteFaultKind::NoSuccessor: return QString::fromUtf8("нет следующего");
    case TRouteFaultKind::NoPredecessor: return QString::fromUtf8("нет предыдущего");
    case TRouteFaultKind::NoStart: return QString::fromUtf8("нет стартового рельса");
    case TRouteFaultKind::NoFinish: return QString::fromUtf8("нет финишного рельса");
    }
    return QString();
}

QString RouteFaultLine(const TRouteFault& fault)
{
    const QString words = RouteFaultWords(fault.Kind);
    if (fault.Rail >= 0) return QString::fromUtf8("Рельс %1: %2").arg(fault.Rail).arg(words);
    return words.left(1).toUpper() + words.mid(1);
}

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
    const QString words = QString::fromUtf8(LiveFaultWords(fault.Kind).data(),
                                            static_cast<qsizetype>(LiveFaultWords(fault.Kind).size()));
    if (fault.Rail >= 0 && fault.Kind != TLiveFaultKind::FinishUnreachable)
        return QString::fromUtf8("Рельс %1: %2").arg(fault.Rail).arg(words);
    return words.left(1).toUpper() + words.mid(1);
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
