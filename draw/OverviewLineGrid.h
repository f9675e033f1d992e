#pragma once
// Finds, among many short overview lines, the ones that may paint inside a
// small rectangle of the picture, in drawing order.
#include <cstdint>
#include <vector>

#include "draw/OverviewScale.h"

/// Lines bucketed by the cells of the picture that the box of their two ends
/// meets. A line paints only pixels inside that box, so every line that can
/// paint a pixel of a rectangle is among the ones Near answers for it.
class TOverviewLineGrid {
public:
    /// Buckets lines for a picture of width x height pixels; lines whose box
    /// lies wholly outside the picture are left out.
    void Build(const std::vector<TOverviewLine>& lines, std::int32_t width, std::int32_t height);
    /// The indexes, ascending, of the lines whose box meets the pixels
    /// x1 <= x <= x2, y1 <= y <= y2 (inside the picture).
    void Near(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
              std::vector<std::int32_t>& out) const;

private:
    struct TCells {
        std::int32_t X1, Y1, X2, Y2;
    };
    /// The cells under the pixel box, clamped to the picture; false when the
    /// box misses the picture.
    bool CellsOf(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, TCells& cells) const;

    static constexpr std::int32_t CellSize = 8;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t columns_ = 0;
    std::int32_t rows_ = 0;
    /// Cell c holds entries_[starts_[c]] up to entries_[starts_[c + 1]].
    std::vector<std::int32_t> starts_;
    std::vector<std::int32_t> entries_;
    /// The lines' boxes, clamped to the picture, for the exact test in Near.
    std::vector<TCells> boxes_;
    mutable std::vector<std::uint32_t> seen_;
    mutable std::uint32_t stamp_ = 0;
};
