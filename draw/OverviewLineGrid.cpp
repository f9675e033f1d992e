#include "draw/OverviewLineGrid.h"

#include <algorithm>

bool TOverviewLineGrid::CellsOf(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                                TCells& cells) const
{
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 < 0 || y2 < 0 || x1 >= width_ || y1 >= height_) return false;
    cells.X1 = static_cast<std::int32_t>(std::max<std::int64_t>(x1, 0));
    cells.Y1 = static_cast<std::int32_t>(std::max<std::int64_t>(y1, 0));
    cells.X2 = static_cast<std::int32_t>(std::min<std::int64_t>(x2, width_ - 1));
    cells.Y2 = static_cast<std::int32_t>(std::min<std::int64_t>(y2, height_ - 1));
    return true;
}

void TOverviewLineGrid::Build(const std::vector<TOverviewLine>& lines, std::int32_t width, std::int32_t height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    columns_ = (width_ + CellSize - 1) / CellSize;
    rows_ = (height_ + CellSize - 1) / CellSize;
    boxes_.assign(lines.size(), TCells{0, 0, -1, -1});
    starts_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_) + 1, 0);
    seen_.assign(lines.size(), 0);
    stamp_ = 0;

    // Counted first, then placed: one allocation, cells in line order.
    const auto forEachCell = [&](const TCells& box, auto&& visit) {
        for (std::int32_t row = box.Y1 / CellSize; row <= box.Y2 / CellSize; ++row)
            for (std::int32_t column = box.X1 / CellSize; column <= box.X2 / CellSize; ++column)
                visit(static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                      static_cast<std::size_t>(column));
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TOverviewLine& l = lines[i];
        if (!CellsOf(l.X1, l.Y1, l.X2, l.Y2, boxes_[i])) continue;
        forEachCell(boxes_[i], [&](std::size_t cell) { ++starts_[cell + 1]; });
    }
    for (std::size_t c = 1; c < starts_.size(); ++c) starts_[c] += starts_[c - 1];
    entries_.resize(static_cast<std::size_t>(starts_.back()));
    std::vector<std::int32_t> fill(starts_.begin(), starts_.end() - 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (boxes_[i].X2 < boxes_[i].X1) continue;
        forEachCell(boxes_[i], [&](std::size_t cell) {
            entries_[static_cast<std::size_t>(fill[cell]++)] = static_cast<std::int32_t>(i);
        });
    }
}

void TOverviewLineGrid::Near(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                             std::vector<std::int32_t>& out) const
{
    out.clear();
    TCells box;
    if (!CellsOf(x1, y1, x2, y2, box)) return;
    if (++stamp_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        stamp_ = 1;
    }
    for (std::int32_t row = box.Y1 / CellSize; row <= box.Y2 / CellSize; ++row)
        for (std::int32_t column = box.X1 / CellSize; column <= box.X2 / CellSize; ++column) {
            const std::size_t cell =
                static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
            for (std::int32_t e = starts_[cell]; e < starts_[cell + 1]; ++e) {
                const std::int32_t i = entries_[static_cast<std::size_t>(e)];
                std::uint32_t& seen = seen_[static_cast<std::size_t>(i)];
                if (seen == stamp_) continue;
                seen = stamp_;
                const TCells& b = boxes_[static_cast<std::size_t>(i)];
                if (b.X1 <= box.X2 && box.X1 <= b.X2 && b.Y1 <= box.Y2 && box.Y1 <= b.Y2) out.push_back(i);
            }
        }
    std::sort(out.begin(), out.end());
}
