#include "model/TMapIndex.h"

#include <algorithm>
#include <future>

#include "model/TMap.h"

void TElementGrid::Query(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                         std::vector<std::int32_t>& out) const
{
    out.clear();
    if (offsets_.empty()) return;
    const std::int32_t cx1 = CellOf(x1);
    const std::int32_t cx2 = CellOf(x2);
    const std::int32_t cy1 = CellOf(y1);
    const std::int32_t cy2 = CellOf(y2);
    for (std::int32_t cy = cy1; cy <= cy2; ++cy) {
        const std::size_t row = static_cast<std::size_t>(cy) * static_cast<std::size_t>(cells_);
        for (std::int32_t cx = cx1; cx <= cx2; ++cx) {
            const std::size_t cell = row + static_cast<std::size_t>(cx);
            const std::uint8_t* in = bytes_.data() + offsets_[cell];
            const std::uint8_t* const end = bytes_.data() + offsets_[cell + 1];
            std::int32_t index = -1;
            while (in != end) {
                std::uint32_t gap = 0;
                for (int shift = 0;; shift += 7) {
                    const std::uint8_t b = *in++;
                    gap |= static_cast<std::uint32_t>(b & 0x7F) << shift;
                    if (!(b & 0x80)) break;
                }
                index += static_cast<std::int32_t>(gap);
                out.push_back(index);
            }
        }
    }
    out.insert(out.end(), wide_.begin(), wide_.end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::size_t TElementGrid::MemoryBytes() const
{
    return offsets_.capacity() * sizeof(std::uint32_t) + bytes_.capacity() + wide_.capacity() * sizeof(std::int32_t);
}

// The map's side: keeping the grids and answering with them.

namespace {

/// The grid's answer over all but the last element, then the last.
template <typename T>
void ElementsNear(const TElementGrid& grid, const std::vector<T>& items, std::int32_t x1, std::int32_t y1,
                  std::int32_t x2, std::int32_t y2, std::vector<std::int32_t>& out)
{
    const auto count = static_cast<std::int32_t>(items.size());
    grid.Query(x1, y1, x2, y2, out);
    if (count > 0) out.push_back(count - 1);
}

} // namespace

const TMapIndex& TMap::Index() const
{
    TMapIndex& index = index_;
    if (index.Id != Id() || index.Layout != Layout()) {
        index.Id = 0; // a build that fails part-way leaves no grid that looks current
        const std::size_t borders = borders_.empty() ? 0 : borders_.size() - 1;
        const std::size_t rails = rails_.empty() ? 0 : rails_.size() - 1;
        const auto buildBorders = [&] {
            index.Borders.Build(borders_, borders);
            index.BorderEnds.Build(borders_, borders);
        };
        const auto buildRails = [&] {
            index.Rails.Build(rails_, rails);
            index.RailEnds.Build(rails_, rails);
        };
        // A large map's grids are built on two threads, borders beside rails;
        // the grids are separate and the elements are only read.
        if (borders + rails >= static_cast<std::size_t>(ParallelIndexFrom)) {
            std::future<void> other = std::async(std::launch::async, buildBorders);
            buildRails();
            other.get();
        } else {
            buildBorders();
            buildRails();
        }
        index.Id = Id();
        index.Layout = Layout();
    }
    return index;
}

void TMap::BordersNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                       std::vector<std::int32_t>& out) const
{
    ElementsNear(Index().Borders, borders_, x1, y1, x2, y2, out);
}

void TMap::RailsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                     std::vector<std::int32_t>& out) const
{
    ElementsNear(Index().Rails, rails_, x1, y1, x2, y2, out);
}

void TMap::BorderEndsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                          std::vector<std::int32_t>& out) const
{
    ElementsNear(Index().BorderEnds, borders_, x1, y1, x2, y2, out);
}

void TMap::RailEndsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                        std::vector<std::int32_t>& out) const
{
    ElementsNear(Index().RailEnds, rails_, x1, y1, x2, y2, out);
}

bool TMap::UsesIndexNear(std::int32_t px, std::int32_t py) const
{
    const auto within = [](std::int32_t v, std::int32_t low, std::int32_t high) { return v >= low && v <= high; };
    return BorderCount() + RailCount() >= IndexFrom && within(ViewX, 0, WorldSize) && within(ViewY, 0, WorldSize) &&
           within(px, -4096, 4096) && within(py, -4096, 4096);
}

bool TMap::UsesIndexAt(std::int32_t px, std::int32_t py) const
{
    // Within these bounds no element inside the grid's coordinate range can
    // make the view arithmetic leave 32 bits, so skipping it changes nothing.
    const auto within = [](std::int32_t v, std::int32_t low, std::int32_t high) { return v >= low && v <= high; };
    return BorderCount() + RailCount() >= IndexFrom && within(ViewX, 0, WorldSize) && within(ViewY, 0, WorldSize) &&
           within(Zoom.Span(ViewWidth), 0, 4096) &&
           within(Zoom.Span(ViewHeight), 0, 4096) && within(px, -4096, 4096) &&
           within(py, -4096, 4096);
}
