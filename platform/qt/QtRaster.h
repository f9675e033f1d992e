#pragma once
// Pixel-level drawing on an RGB32 QImage for the canvas: one-pixel lines,
// filled boxes and stamped small ellipses, all clipped to the image.
#include <QImage>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

/// Fills the pixels x1 <= x < x2, y1 <= y < y2 that lie on the image.
void FillBox(QImage& image, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, std::uint32_t argb);

/// The Bresenham path from (x0, y0) toward (x1, y1), the end point left out.
/// The path is that of the whole line whatever part of it lies on the image,
/// and only the steps over the image are walked.
void ThinLine(QImage& image, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::uint32_t argb);

/// Small ellipses, each size and pen width drawn once by QPainter and then
/// stamped, so that an ellipse has the same pixels wherever it lies.
class TEllipseStamps {
public:
    /// Boxes up to this size and pens up to this width are stamped.
    static constexpr std::int64_t MaxSize = 64;
    static constexpr std::int32_t MaxPen = 8;

    /// The ellipse inscribed in the box of width x height pixels at (left, top),
    /// outlined in pen and, when fill is set, filled with brush.
    void Stamp(QImage& image, std::int64_t left, std::int64_t top, std::int32_t width, std::int32_t height,
               std::int32_t penWidth, std::uint32_t pen, std::uint32_t brush, bool fill);

private:
    /// For each pixel of the box widened by the pen: 0 untouched, 1 pen, 2 brush.
    struct TShape {
        std::int32_t Margin, Width, Height;
        std::vector<std::uint8_t> Cells;
    };
    const TShape& Shape(std::int32_t width, std::int32_t height, std::int32_t penWidth);

    std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, TShape> shapes_;
};
