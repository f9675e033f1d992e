#pragma once
// The canvas and bitmap with QPainter on a QImage.
//
// Rasterisation (all drawing is aliased; coordinates pass through unchanged and
// whatever falls outside the image is dropped):
// - A line of pen width 1 paints the pixels of the Bresenham path from the
//   current position up to, but not including, the end point: LineTo(x, y)
//   after MoveTo(x0, y0) paints (x0, y0) and never (x, y), and a zero-length
//   line paints nothing. The path is that of the unclipped line, so a line
//   paints the same pixels on every surface it meets.
// - A wider pen strokes the line through QPainter, centred on the pixel
//   centres, with square caps reaching half the pen width past both end
//   points (round caps cost several times as much to stroke).
// - Rectangle (x1, y1, x2, y2) covers the box x1 <= x < x2, y1 <= y < y2: the
//   right column x2 and the bottom row y2 stay untouched. With pen width 1 the
//   outline is the box's outer ring of pixels and the brush fills the rest.
// - Ellipse (x1, y1, x2, y2) is inscribed in the same box (x2 and y2 excluded),
//   outlined with the pen and filled with the brush. Small ellipses (the end
//   circles and the snap marker) are stamped from a shape that QPainter drew
//   once for that size, so each one costs a few pixel writes.
// - Corners given in either order describe the same box.
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <memory>

#include "platform/Canvas.h"
#include "platform/qt/QtRaster.h"

/// The colour as Qt names it.
QColor ToQColor(TColor color);

/// The canvas of a TQtBitmap: it owns the image and draws on it. A QPainter
/// is opened on the image the first time a figure needs it and kept open
/// until the image is read, copied, saved or resized.
class TQtCanvas : public TCanvas {
public:
    TQtCanvas();
    ~TQtCanvas() override;
    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

    void SetPenColor(TColor color) override;
    void SetPenWidth(std::int32_t width) override;
    void SetPenStyle(TPenStyle style) override;
    void SetBrushColor(TColor color) override;
    void SetBrushStyle(TBrushStyle style) override;
    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    /// The bitmap must be a TQtBitmap; any other kind raises std::invalid_argument.
    void Draw(std::int32_t x, std::int32_t y, const TBitmap& bitmap) override;

    TColor PenColor() const { return penColor_; }
    std::int32_t PenWidth() const { return penWidth_; }
    TColor BrushColor() const { return brushColor_; }
    TBrushStyle BrushStyle() const { return brushStyle_; }
    std::int32_t PenX() const { return penX_; }
    std::int32_t PenY() const { return penY_; }

    /// The finished pixels (closes the painter).
    const QImage& Image();
    /// Gives the image a new size, keeping the pixels of the common part and
    /// painting the rest black. Raises EOutOfMemory when the image cannot be had.
    void Resize(std::int32_t width, std::int32_t height);
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }

private:
    QPainter& Painter();
    void EndPainting();
    void ApplyPen();
    void WideLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);

    QImage image_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::unique_ptr<QPainter> painter_;
    bool penDirty_ = true;
    TEllipseStamps ellipses_;

    TColor penColor_ = 0;
    std::int32_t penWidth_ = 1;
    TColor brushColor_ = 0xFFFFFF;
    TBrushStyle brushStyle_ = TBrushStyle::Solid;
    std::int32_t penX_ = 0;
    std::int32_t penY_ = 0;
};

/// A bitmap held in a QImage (RGB32), black when created; resizing keeps the
/// pixels of the part that old and new size share and makes the rest black.
class TQtBitmap : public TBitmap {
public:
    TQtBitmap();
    ~TQtBitmap() override;
    void SetWidth(std::int32_t width) override;
    void SetHeight(std::int32_t height) override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;
    TCanvas& Canvas() override;
    /// Writes through a temporary file renamed over the target, so a failure
    /// leaves an existing file as it was.
    void SaveToFile(const std::string& fileName) const override;
    /// The pixels, for copying onto a widget and for tests.
    const QImage& Image() const;
    TQtCanvas& QtCanvas() { return *canvas_; }

private:
    std::unique_ptr<TQtCanvas> canvas_;
};

/// Encodes the image in format ("BMP", "PNG") and writes it to fileName with
/// WriteWholeFile; raises EFileError naming the file when it cannot.
void SaveImageToFile(const QImage& image, const char* format, const std::string& fileName);

class TQtBitmapFactory : public TBitmapFactory {
public:
    std::unique_ptr<TBitmap> CreateBitmap() override;
};

/// The 0x00BBGGRR colour as an opaque QImage RGB32 pixel.
inline std::uint32_t ToArgb(TColor color)
{
    return 0xFF000000u | ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}
