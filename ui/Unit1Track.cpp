// Laying track exactly: the arc and coordinates dialogs, and what the frame
// shows over the map while track is laid (the arc to be laid, the measures).
#include <QAction>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "model/ArcGeometry.h"
#include "platform/qt/QtCanvas.h"
#include "ui/TArcDialog.h"
#include "ui/TArcGesture.h"
#include "ui/Unit1.h"
#include "ui/ViewOptions.h"

namespace {

/// The drawing colour as the arc to be laid is drawn in it; one too dark to
/// be seen on the view's black ground (the first start's black) gives white.
QColor PreviewColor(TColor color)
{
    const QColor c = ToQColor(color);
    return c.red() + c.green() + c.blue() < 96 ? QColor(Qt::white) : c;
}

TArcChain ArcOf(const TLine& rail, const TArcValues& values)
{
    return ArcByAngle(rail, values.FromFirst ? TArcEnd::First : TArcEnd::Second, values.Radius, values.Piece,
                      values.Angle);
}

/// A number as the measures show it: whole, or with one decimal.
QString Measure(double value)
{
    const double tenths = std::round(value * 10) / 10;
    return tenths == std::round(tenths) ? QString::number(static_cast<long long>(tenths))
                                        : QString::number(tenths, 'f', 1);
}

/// Text in a small white box with a thin frame, its top-left corner at (x, y)
/// but kept inside the frame.
void DrawLabel(QPainter& painter, const QImage& frame, const QString& text, int x, int y)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int w = metrics.horizontalAdvance(text) + 6, h = metrics.height() + 2;
    x = std::clamp(x, 0, std::max(0, frame.width() - w - 1));
    y = std::clamp(y, 0, std::max(0, frame.height() - h - 1));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(x, y, w, h);
    painter.drawText(QRect(x, y, w + 1, h + 1), Qt::AlignCenter, text);
}

} // namespace

void TForm1::ArcItemClick()
{
    EndGesture();
    if (!Alive()) return;
    TMap& map = CurrentMap();
    if (map.SelRail < 0 || map.SelRail >= map.RailCount()) return;
    const std::uint64_t mapId = map.Id();
    const TLine rail = map.Rails()[static_cast<std::size_t>(map.SelRail)];
    TArcDialog dialog(
        ReadArcValues(),
        [this, rail](const TArcValues& values) {
            const TArcChain chain = ArcOf(rail, values);
            arcPreview_ = chain.Rails;
            ++overlayRevision_;
            return QString::fromUtf8(ArcRefusalText(chain.Refusal));
        },
        this);
    PlaceBeside(dialog, rail);
    const bool ok = dialog.exec() == QDialog::Accepted;
    arcPreview_.clear();
    ++overlayRevision_;
    if (!ok || !Alive()) return;
    const TArcValues values = dialog.Values();
    WriteArcValues(values);
    // Nothing edits a map while the dialog is up, but the map must still be
    // the one it was opened on, its rail still where it was.
    TMap& now = CurrentMap();
    if (now.Id() != mapId || now.SelRail < 0 || now.SelRail >= now.RailCount() ||
        !SameEnds(now.Rails()[static_cast<std::size_t>(now.SelRail)], rail))
        return;
    const TArcChain chain = ArcOf(rail, values);
    if (!chain) return;
    {
        const TEditStep step(now, TStepKind::Arc);
        now.LayRails(chain.Rails);
        // The rail farthest along the curve, so that Ctrl+R continues it.
        now.SelectRail(values.FromFirst ? now.RailCount() - static_cast<std::int32_t>(chain.Rails.size())
                                        : now.RailCount() - 1);
    }
    UpdateEditMenu();
}

void TForm1::CoordinatesItemClick()
{
    EndGesture();
    if (!Alive()) return;
    TMap& map = CurrentMap();
    const TLine* rail = map.SelRail >= 0 && map.SelRail < map.RailCount()
                            ? &map.Rails()[static_cast<std::size_t>(map.SelRail)]
                            : nullptr;
    const TLine* border = map.SelBorder >= 0 && map.SelBorder < map.BorderCount()
                              ? &map.Borders()[static_cast<std::size_t>(map.SelBorder)]
                              : nullptr;
    if (!rail && !border) return;
    const std::uint64_t mapId = map.Id();
    const std::int32_t railIndex = map.SelRail, borderIndex = map.SelBorder;
    TCoordinatesDialog dialog(rail, border, CoordinatesRefusal, this);
    PlaceBeside(dialog, rail ? *rail : *border);
    if (dialog.exec() != QDialog::Accepted || !Alive()) return;
    TMap& now = CurrentMap();
    if (now.Id() != mapId || now.SelRail != railIndex || now.SelBorder != borderIndex) return;
    const bool forRail = dialog.ForRail();
    const std::int32_t index = forRail ? railIndex : borderIndex;
    if (index < 0) return;
    const TLine line = dialog.Line();
    {
        const TEditStep step(now, TStepKind::Coordinates);
        now.MoveEnds({{forRail, index, 1}}, {line.X1, line.Y1});
        now.MoveEnds({{forRail, index, 2}}, {line.X2, line.Y2});
    }
    UpdateEditMenu();
}

void TForm1::PlaceBeside(QWidget& dialog, const TLine& line)
{
    // In the corner of the main view farthest from the line and the arc to be
    // laid from it, so that both stay in sight.
    dialog.adjustSize();
    double x = (static_cast<double>(line.X1) + line.X2) / 2, y = (static_cast<double>(line.Y1) + line.Y2) / 2;
    if (!arcPreview_.empty()) {
        const TRail& last = arcPreview_.back();
        x = (x + last.X2) / 2;
        y = (y + last.Y2) / 2;
    }
    const TViewTransform view = View();
    const double px = (x - view.X) * view.Zoom.Scale(), py = (y - view.Y) * view.Zoom.Scale();
    const int left = px > PaintBox1->width() / 2.0 ? 8 : PaintBox1->width() - dialog.width() - 8;
    const int top = py > PaintBox1->height() / 2.0 ? 8 : PaintBox1->height() - dialog.height() - 8;
    dialog.move(PaintBox1->mapToGlobal(QPoint(std::max(0, left), std::max(0, top))));
}

void TForm1::MeasuresItemClick()
{
    WriteViewOption(MeasuresKey, MeasuresItem->isChecked());
    ++overlayRevision_;
}

bool TForm1::Measures() const { return MeasuresItem->isChecked(); }

bool TForm1::ArcDrawing() const { return gestures_.Find<TArcGesture>() != nullptr; }

void TForm1::DrawOverlay(QImage& frame)
{
    const TMap& map = CurrentMap();
    const TArcGesture* drag = gestures_.Find<TArcGesture>();
    if (drag && drag->Map() != map.Id()) drag = nullptr;
    const std::vector<TRail>* arc = !arcPreview_.empty() ? &arcPreview_ : drag ? &drag->Chain().Rails : nullptr;
    const bool refused = drag && !drag->Chain();
    if (!arc && !refused && !Measures()) return;

    QPainter painter(&frame);
    painter.setFont(PaintBox1->font());
    const TViewTransform view = View();
    // In double precision, so that no position the map holds can overflow.
    const ViewArithmetic::TScaled scaled{view.Zoom.Scale()};
    const auto at = [&](std::int32_t x, std::int32_t y) {
        return QPointF(scaled.Coordinate(x, view.X), scaled.Coordinate(y, view.Y));
    };
    if (arc) {
        painter.setPen(QPen(PreviewColor(DrawingColor()), 1));
        for (const TRail& rail : *arc) painter.drawLine(at(rail.X1, rail.Y1), at(rail.X2, rail.Y2));
    }
    const int labelX = MouseX + 14, labelY = MouseY + 14;
    if (refused) DrawLabel(painter, frame, QString::fromUtf8(ArcRefusalText(drag->Chain().Refusal)), labelX, labelY);
    if (!Measures()) return;

    QString label;
    if (drag && drag->Chain()) {
        const TArcChain& chain = drag->Chain();
        const QString pieces = QString::fromUtf8("звеньев ") + QString::number(chain.Rails.size());
        label = std::isfinite(chain.Radius)
                    ? QString::fromUtf8("радиус ") + Measure(chain.Radius) + QStringLiteral(", ") + pieces
                    : QString::fromUtf8("прямо, ") + pieces;
    } else if (const std::uint8_t placing = Placing()) {
        const TLine& line = placing == 2 ? static_cast<const TLine&>(map.Rails().back())
                                         : static_cast<const TLine&>(map.Borders().back());
        const double dx = static_cast<double>(line.X2) - line.X1, dy = static_cast<double>(line.Y2) - line.Y1;
        double heading = std::atan2(dy, dx) * 180 / M_PI;
        if (heading < 0) heading += 360;
        if (std::round(heading * 10) >= 3600) heading = 0;
        label = QString::fromUtf8("длина ") + Measure(std::hypot(dx, dy)) + QString::fromUtf8(", курс ") +
                Measure(heading) + QString::fromUtf8("°");
    }
    if (!label.isEmpty()) DrawLabel(painter, frame, label, labelX, labelY);
    TPoint under;
    try {
        under = WorldAt(MouseX, MouseY);
    } catch (const std::exception&) {
        return;
    }
    const QString corner = QStringLiteral("x ") + QString::number(under.x) + QStringLiteral(", y ") + QString::number(under.y);
    DrawLabel(painter, frame, corner, 2, frame.height());
}
