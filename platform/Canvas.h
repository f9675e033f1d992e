#pragma once
// The drawing surface that the view drawing, the overview and the window use.
// Implemented with QPainter in platform/qt; tests use a recording canvas.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Color.h"

enum class TPenStyle : std::uint8_t { Solid };
enum class TBrushStyle : std::uint8_t { Solid, Clear };

class TBitmap;

/// Pen (colour, width, style), brush (colour, style) and the current position
/// are state kept from one call to the next. Coordinates may lie anywhere,
/// also negative; what falls outside the surface is clipped.
class TCanvas {
public:
    virtual ~TCanvas() = default;
    virtual void SetPenColor(TColor color) = 0;
    virtual void SetPenWidth(std::int32_t width) = 0;
    virtual void SetPenStyle(TPenStyle style) = 0;
    /// Also turns a clear brush solid.
    virtual void SetBrushColor(TColor color) = 0;
    virtual void SetBrushStyle(TBrushStyle style) = 0;
    /// The box outlined with the pen, its interior filled with the brush.
    virtual void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
    /// The ellipse inscribed in the box, outlined with the pen, filled with the brush.
    virtual void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
    virtual void MoveTo(std::int32_t x, std::int32_t y) = 0;
    /// A line with the pen from the current position, which then becomes (x, y).
    virtual void LineTo(std::int32_t x, std::int32_t y) = 0;
    /// Copies the bitmap with its top-left corner at (x, y), clipped to this surface.
    virtual void Draw(std::int32_t x, std::int32_t y, const TBitmap& bitmap) = 0;
};

/// An off-screen image with its own canvas.
class TBitmap {
public:
    virtual ~TBitmap() = default;
    virtual void SetWidth(std::int32_t width) = 0;
    virtual void SetHeight(std::int32_t height) = 0;
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    virtual TCanvas& Canvas() = 0;
    /// Writes a Windows bitmap (BMP) file; raises EFileError naming the file on failure.
    virtual void SaveToFile(const std::string& fileName) const = 0;
};

/// Makes new, empty bitmaps (the Qt one in the program, an in-memory one in tests).
class TBitmapFactory {
public:
    virtual ~TBitmapFactory() = default;
    virtual std::unique_ptr<TBitmap> CreateBitmap() = 0;
};
