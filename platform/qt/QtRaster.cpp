#include "platform/qt/QtRaster.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

void FillBox(QImage& image, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, std::uint32_t argb)
{
    x1 = std::max<std::int64_t>(x1, 0);
    y1 = std::max<std::int64_t>(y1, 0);
    x2 = std::min<std::int64_t>(x2, image.width());
    y2 = std::min<std::int64_t>(y2, image.height());
    if (x1 >= x2 || y1 >= y2) return;
    uchar* const bits = image.bits();
    const qsizetype bpl = image.bytesPerLine();
    for (std::int64_t row = y1; row < y2; ++row) {
        auto* line = reinterpret_cast<std::uint32_t*>(bits + row * bpl);
        std::fill(line + x1, line + x2, argb);
    }
}

const TEllipseStamps::TShape& TEllipseStamps::Shape(std::int32_t width, std::int32_t height, std::int32_t penWidth)
{
    const auto key = std::make_tuple(width, height, penWidth);
    const auto found = shapes_.find(key);
    if (found != shapes_.end()) return found->second;
    TShape shape;
    shape.Margin = penWidth + 1;
    shape.Width = width + 2 * shape.Margin;
    shape.Height = height + 2 * shape.Margin;
    QImage scratch(shape.Width, shape.Height, QImage::Format_RGB32);
    scratch.fill(0xFF000000u);
    {
        QPainter painter(&scratch);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(255, 0, 0), penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(QColor(0, 0, 255));
        painter.drawEllipse(QRect(shape.Margin, shape.Margin, width - 1, height - 1));
    }
    shape.Cells.resize(static_cast<std::size_t>(shape.Width) * static_cast<std::size_t>(shape.Height));
    for (int y = 0; y < shape.Height; ++y)
        for (int x = 0; x < shape.Width; ++x) {
            const QRgb px = scratch.pixel(x, y) & 0xFFFFFF;
            shape.Cells[static_cast<std::size_t>(y * shape.Width + x)] = px == 0xFF0000 ? 1 : px == 0x0000FF ? 2 : 0;
        }
    return shapes_.emplace(key, std::move(shape)).first->second;
}

void TEllipseStamps::Stamp(QImage& image, std::int64_t left, std::int64_t top, std::int32_t width, std::int32_t height,
                           std::int32_t penWidth, std::uint32_t pen, std::uint32_t brush, bool fill)
{
    const TShape& shape = Shape(width, height, penWidth);
    uchar* const bits = image.bits();
    const qsizetype bpl = image.bytesPerLine();
    // The stamp's columns and rows that lie on the image, found once: many
    // small stamps a frame (the route marks) make the per-cell cost count.
    const std::int64_t x0 = left - shape.Margin, y0 = top - shape.Margin;
    const auto firstX = static_cast<std::int32_t>(std::clamp<std::int64_t>(-x0, 0, shape.Width));
    const auto endX = static_cast<std::int32_t>(std::clamp<std::int64_t>(image.width() - x0, 0, shape.Width));
    const auto firstY = static_cast<std::int32_t>(std::clamp<std::int64_t>(-y0, 0, shape.Height));
    const auto endY = static_cast<std::int32_t>(std::clamp<std::int64_t>(image.height() - y0, 0, shape.Height));
    for (std::int32_t y = firstY; y < endY; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(bits + (y0 + y) * bpl);
        const std::uint8_t* cells = shape.Cells.data() + static_cast<std::size_t>(y) * shape.Width;
        for (std::int32_t x = firstX; x < endX; ++x) {
            const std::int64_t px = x0 + x;
            if (cells[x] == 0) continue;
            if (cells[x] == 1)
                line[px] = pen;
            else if (fill)
                line[px] = brush;
        }
    }
}

void ThinLine(QImage& image, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::uint32_t argb)
{
    if (image.isNull()) return;
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t adx = std::llabs(dx);
    const std::int64_t ady = std::llabs(dy);
    if (adx == 0 && ady == 0) return;
    // Walk the major axis one pixel per step; at step i the minor axis has
    // moved floor((2 i minor + major) / (2 major)). Only the steps whose major
    // coordinate lies on the surface are walked, so the cost is bounded by the
    // surface whatever the coordinates.
    const bool xMajor = adx >= ady;
    const std::int64_t major = xMajor ? adx : ady;
    const std::int64_t minor = xMajor ? ady : adx;
    const std::int64_t majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const std::int64_t minorStep = (xMajor ? dy : dx) >= 0 ? 1 : -1;
    const std::int64_t major0 = xMajor ? x0 : y0;
    const std::int64_t minor0 = xMajor ? y0 : x0;
    const std::int64_t majorLimit = xMajor ? image.width() : image.height();
    const std::int64_t minorLimit = xMajor ? image.height() : image.width();
    std::int64_t first, last;
    if (majorStep > 0) {
        first = std::max<std::int64_t>(0, -major0);
        last = std::min(major - 1, majorLimit - 1 - major0);
    } else {
        first = std::max<std::int64_t>(0, major0 - (majorLimit - 1));
        last = std::min(major - 1, major0);
    }
    if (first > last) return;
    const std::int64_t twoMajor = 2 * major;
    const std::int64_t twoMinor = 2 * minor;
    std::int64_t offset = 0;
    std::int64_t error = major;
    if (first > 0) {
        const __int128 start = static_cast<__int128>(first) * twoMinor + major;
        offset = static_cast<std::int64_t>(start / twoMajor);
        error = static_cast<std::int64_t>(start % twoMajor);
    }
    uchar* const bits = image.bits();
    const qsizetype bpl = image.bytesPerLine();
    for (std::int64_t i = first; i <= last; ++i) {
        const std::int64_t a = major0 + majorStep * i;
        const std::int64_t b = minor0 + minorStep * offset;
        if (b >= 0 && b < minorLimit) {
            const std::int64_t px = xMajor ? a : b;
            const std::int64_t py = xMajor ? b : a;
            reinterpret_cast<std::uint32_t*>(bits + py * bpl)[px] = argb;
        }
        error += twoMinor;
        if (error >= twoMajor) {
            error -= twoMajor;
            ++offset;
        }
    }
}
