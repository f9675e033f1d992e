#include "platform/qt/QtCanvas.h"

#include <QLineF>
#include <QPen>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/Errors.h"
#include "platform/qt/QtRaster.h"

namespace {

// Qt's rasteriser works in fixed point; figures reaching further out than this
// are cut down to the surface (plus a margin) before QPainter sees them.
constexpr std::int64_t SafeReach = 1 << 20;

bool WithinReach(std::int64_t v) { return v > -SafeReach && v < SafeReach; }

/// Cuts the segment down to the rectangle [lo, hi]^2-like box (Liang-Barsky);
/// false when nothing of it lies inside.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                 double bottom)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
    }
    const double ox = x0;
    const double oy = y0;
    x0 = ox + t0 * dx;
    y0 = oy + t0 * dy;
    x1 = ox + t1 * dx;
    y1 = oy + t1 * dy;
    return true;
}

} // namespace

TQtCanvas::TQtCanvas() = default;

TQtCanvas::~TQtCanvas() { EndPainting(); }

void TQtCanvas::SetPenColor(TColor color)
{
    penColor_ = color & 0xFFFFFF;
    penDirty_ = true;
}

void TQtCanvas::SetPenWidth(std::int32_t width)
{
    // A pen is never thinner than one pixel, as on the desktop platform.
    penWidth_ = std::max<std::int32_t>(width, 1);
    penDirty_ = true;
}

void TQtCanvas::SetPenStyle(TPenStyle) {}

void TQtCanvas::SetBrushColor(TColor color)
{
    brushColor_ = color & 0xFFFFFF;
    brushStyle_ = TBrushStyle::Solid;
}

void TQtCanvas::SetBrushStyle(TBrushStyle style) { brushStyle_ = style; }

void TQtCanvas::MoveTo(std::int32_t x, std::int32_t y)
{
    penX_ = x;
    penY_ = y;
}

void TQtCanvas::LineTo(std::int32_t x, std::int32_t y)
{
    if (penWidth_ <= 1)
        ThinLine(image_, penX_, penY_, x, y, ToArgb(penColor_));
    else
        WideLine(penX_, penY_, x, y);
    penX_ = x;
    penY_ = y;
}

void TQtCanvas::Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    std::int64_t l = std::min(x1, x2), r = std::max(x1, x2);
    std::int64_t t = std::min(y1, y2), b = std::max(y1, y2);
    if (l == r || t == b) return;
    if (brushStyle_ == TBrushStyle::Solid) FillBox(image_, l + 1, t + 1, r - 1, b - 1, ToArgb(brushColor_));
    if (penWidth_ <= 1) {
        const std::uint32_t argb = ToArgb(penColor_);
        FillBox(image_, l, t, r, t + 1, argb);
        FillBox(image_, l, b - 1, r, b, argb);
        FillBox(image_, l, t, l + 1, b, argb);
        FillBox(image_, r - 1, t, r, b, argb);
        return;
    }
    // Sides far off the surface are pulled in, still out of the pen's reach.
    const std::int64_t m = penWidth_ + 2;
    l = std::clamp<std::int64_t>(l, -m, width_ + m);
    r = std::clamp<std::int64_t>(r, -m, width_ + m);
    t = std::clamp<std::int64_t>(t, -m, height_ + m);
    b = std::clamp<std::int64_t>(b, -m, height_ + m);
    QPainter& p = Painter();
    p.setBrush(Qt::NoBrush);
    QPen pen = p.pen();
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.drawRect(QRectF(static_cast<double>(l) + 0.5, static_cast<double>(t) + 0.5, static_cast<double>(r - l - 1),
                      static_cast<double>(b - t - 1)));
    penDirty_ = true;
}

void TQtCanvas::Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    const std::int64_t l = std::min(x1, x2), r = std::max(x1, x2);
    const std::int64_t t = std::min(y1, y2), b = std::max(y1, y2);
    if (l == r || t == b) return;
    const std::int64_t m = penWidth_ + 2;
    if (r + m < 0 || b + m < 0 || l - m > width_ || t - m > height_) return;
    if (!WithinReach(l) || !WithinReach(r) || !WithinReach(t) || !WithinReach(b)) return;
    if (r - l <= TEllipseStamps::MaxSize && b - t <= TEllipseStamps::MaxSize && penWidth_ <= TEllipseStamps::MaxPen) {
        ellipses_.Stamp(image_, l, t, static_cast<std::int32_t>(r - l), static_cast<std::int32_t>(b - t), penWidth_,
                        ToArgb(penColor_), ToArgb(brushColor_), brushStyle_ == TBrushStyle::Solid);
        return;
    }
    QPainter& p = Painter();
    if (brushStyle_ == TBrushStyle::Solid)
        p.setBrush(ToQColor(brushColor_));
    else
        p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l - 1),
                        static_cast<int>(b - t - 1)));
}

void TQtCanvas::Draw(std::int32_t x, std::int32_t y, const TBitmap& bitmap)
{
    const auto* source = dynamic_cast<const TQtBitmap*>(&bitmap);
    if (!source) throw std::invalid_argument("TQtCanvas can only draw a TQtBitmap");
    const QImage& sourceImage = source->Image();
    if (sourceImage.isNull() || image_.isNull()) return;
    // Drawing a bitmap onto itself reads from a snapshot.
    const QImage from = (&sourceImage == &image_) ? sourceImage.copy() : sourceImage;
    const std::int64_t l = std::max<std::int64_t>(x, 0);
    const std::int64_t t = std::max<std::int64_t>(y, 0);
    const std::int64_t r = std::min<std::int64_t>(std::int64_t{x} + from.width(), width_);
    const std::int64_t b = std::min<std::int64_t>(std::int64_t{y} + from.height(), height_);
    if (l >= r || t >= b) return;
    uchar* const bits = image_.bits();
    const qsizetype bpl = image_.bytesPerLine();
    const auto bytes = static_cast<std::size_t>(r - l) * 4;
    for (std::int64_t row = t; row < b; ++row) {
        const uchar* src = from.constScanLine(static_cast<int>(row - y)) + (l - x) * 4;
        std::memcpy(bits + row * bpl + l * 4, src, bytes);
    }
}

const QImage& TQtCanvas::Image()
{
    EndPainting();
    return image_;
}

void TQtCanvas::Resize(std::int32_t width, std::int32_t height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    EndPainting();
    QImage next;
    if (width > 0 && height > 0) {
        next = QImage(width, height, QImage::Format_RGB32);
        if (next.isNull()) throw EOutOfMemory();
        next.fill(ToArgb(0));
        const int w = std::min(width, width_);
        const int h = std::min(height, height_);
        for (int row = 0; row < h; ++row)
            std::memcpy(next.scanLine(row), image_.constScanLine(row), static_cast<std::size_t>(w) * 4);
    }
    image_ = next;
    width_ = width;
    height_ = height;
}

QPainter& TQtCanvas::Painter()
{
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        penDirty_ = true;
    }
    if (penDirty_) ApplyPen();
    return *painter_;
}

void TQtCanvas::EndPainting()
{
    if (!painter_) return;
    painter_->end();
    painter_.reset();
}

void TQtCanvas::ApplyPen()
{
    painter_->setPen(QPen(ToQColor(penColor_), penWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    penDirty_ = false;
}

void TQtCanvas::WideLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    if (width_ <= 0 || height_ <= 0) return;
    QPainter& p = Painter();
    // QPainter puts integer coordinates on pixel corners; the stroke is
    // centred on the pixel centres instead, like the one-pixel lines.
    double ax = x0 + 0.5, ay = y0 + 0.5, bx = x1 + 0.5, by = y1 + 0.5;
    if (!(WithinReach(x0) && WithinReach(y0) && WithinReach(x1) && WithinReach(y1))) {
        const double m = penWidth_ + 2.0;
        if (!ClipSegment(ax, ay, bx, by, -m, -m, width_ + m, height_ + m)) return;
    }
    p.drawLine(QLineF(ax, ay, bx, by));
}

QColor ToQColor(TColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}
