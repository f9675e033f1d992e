#include "model/TMapIndex.h"

#include <algorithm>
#include <future>

#include "model/TMap.h"

void TElementGrid::Query(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                         std::vector<std::int32_t>& out, std::int32_t limit) const
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
    if (!fresh_.empty() || !gone_.empty()) {
        // Built indexes to those of now, ascending in both: a built element
        // of rank r among those not gone stands at r plus the fresh elements
        // before it.
        std::size_t kept = 0, g = 0, f = 0;
        for (const std::int32_t built : out) {
            while (g < gone_.size() && gone_[g] < built) ++g;
            if (g < gone_.size() && gone_[g] == built) continue;
            const auto rank = built - static_cast<std::int32_t>(g);
            while (f < fresh_.size() && fresh_[f].Index <= rank + static_cast<std::int32_t>(f)) ++f;
            out[kept++] = rank + static_cast<std::int32_t>(f);
        }
        out.resize(kept);
        const std::size_t built = out.size();
        for (const TFresh& fresh : fresh_)
            if (FreshMeets(fresh, cx1, cy1, cx2, cy2)) out.push_back(fresh.Index);
        std::inplace_merge(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(built), out.end());
    }
    while (!out.empty() && out.back() >= limit) out.pop_back();
}

void TElementGrid::SetBox(TFresh& fresh, const TBox& e) const
{
    fresh.Wide = IsWide(e);
    if (byEnds_)
        fresh.Cells = {CellOf(e.X1), CellOf(e.Y1), CellOf(e.X2), CellOf(e.Y2)};
    else
        fresh.Cells = {CellOf(std::min(e.X1, e.X2)), CellOf(std::min(e.Y1, e.Y2)), CellOf(std::max(e.X1, e.X2)),
                       CellOf(std::max(e.Y1, e.Y2))};
}

bool TElementGrid::FreshMeets(const TFresh& fresh, std::int32_t cx1, std::int32_t cy1, std::int32_t cx2,
                              std::int32_t cy2) const
{
    if (fresh.Wide) return true;
    const TCellBox& c = fresh.Cells;
    const auto in = [&](std::int32_t x, std::int32_t y) { return x >= cx1 && x <= cx2 && y >= cy1 && y <= cy2; };
    if (byEnds_) return in(c.X1, c.Y1) || in(c.X2, c.Y2);
    return c.X1 <= cx2 && cx1 <= c.X2 && c.Y1 <= cy2 && cy1 <= c.Y2;
}

std::vector<std::int32_t> TElementGrid::BuiltOfRanks(std::int32_t first, std::int32_t count) const
{
    std::vector<std::int32_t> built;
    built.reserve(static_cast<std::size_t>(count));
    // The element of rank r is r plus the gone indexes at or below it.
    std::size_t g = 0;
    std::int32_t index = first;
    while (g < gone_.size() && gone_[g] <= index) {
        ++g;
        index = first + static_cast<std::int32_t>(g);
    }
    for (std::int32_t k = 0; k < count; ++k) {
        built.push_back(index);
        ++index;
        while (g < gone_.size() && gone_[g] == index) {
            ++g;
            ++index;
        }
    }
    return built;
}

void TElementGrid::AddGone(const std::vector<std::int32_t>& built)
{
    const std::size_t old = gone_.size();
    gone_.insert(gone_.end(), built.begin(), built.end());
    std::inplace_merge(gone_.begin(), gone_.begin() + static_cast<std::ptrdiff_t>(old), gone_.end());
}

bool TElementGrid::Follow(const TElementChange& change)
{
    const auto byIndex = [](const TFresh& f, std::int32_t index) { return f.Index < index; };
    const auto lo = static_cast<std::size_t>(
        std::lower_bound(fresh_.begin(), fresh_.end(), change.First, byIndex) - fresh_.begin());
    const std::int64_t end = std::int64_t{change.First} + change.Count;
    const auto hi = static_cast<std::size_t>(
        std::lower_bound(fresh_.begin() + static_cast<std::ptrdiff_t>(lo), fresh_.end(),
                         static_cast<std::int32_t>(end), byIndex) -
        fresh_.begin());
    const std::int32_t freshIn = static_cast<std::int32_t>(hi - lo);
    // The built elements in the range hold consecutive ranks, from the one
    // after the built elements before it.
    const std::int32_t builtIn = change.Count - freshIn;
    const std::int32_t firstRank = change.First - static_cast<std::int32_t>(lo);
    const auto tooMany = [this](std::int64_t more) { return Pending() + static_cast<std::uint64_t>(more) > MaxPending; };
    switch (change.Kind) {
    case TEditKind::Added: {
        if (tooMany(change.Count)) return false;
        for (std::size_t k = lo; k < fresh_.size(); ++k) fresh_[k].Index += change.Count;
        std::vector<TFresh> added(static_cast<std::size_t>(change.Count));
        for (std::int32_t k = 0; k < change.Count; ++k) added[static_cast<std::size_t>(k)].Index = change.First + k;
        fresh_.insert(fresh_.begin() + static_cast<std::ptrdiff_t>(lo), added.begin(), added.end());
        return true;
    }
    case TEditKind::Removed: {
        if (tooMany(builtIn)) return false;
        if (builtIn > 0) AddGone(BuiltOfRanks(firstRank, builtIn));
        fresh_.erase(fresh_.begin() + static_cast<std::ptrdiff_t>(lo), fresh_.begin() + static_cast<std::ptrdiff_t>(hi));
        for (std::size_t k = lo; k < fresh_.size(); ++k) fresh_[k].Index -= change.Count;
        return true;
    }
    case TEditKind::Changed: {
        if (builtIn == 0) return true;
        if (tooMany(2 * std::int64_t{builtIn})) return false;
        AddGone(BuiltOfRanks(firstRank, builtIn));
        // Every index of the range is fresh now, in order.
        std::vector<TFresh> range(static_cast<std::size_t>(change.Count));
        for (std::int32_t k = 0; k < change.Count; ++k) range[static_cast<std::size_t>(k)].Index = change.First + k;
        fresh_.erase(fresh_.begin() + static_cast<std::ptrdiff_t>(lo), fresh_.begin() + static_cast<std::ptrdiff_t>(hi));
        fresh_.insert(fresh_.begin() + static_cast<std::ptrdiff_t>(lo), range.begin(), range.end());
        return true;
    }
    }
    return false;
}

std::size_t TElementGrid::MemoryBytes() const
{
    return offsets_.capacity() * sizeof(std::uint32_t) + bytes_.capacity() + wide_.capacity() * sizeof(std::int32_t) +
           fresh_.capacity() * sizeof(TFresh) + gone_.capacity() * sizeof(std::int32_t);
}

// The map's side: keeping the grids and answering with them.

namespace {

/// The grid's answer over all but the last element, then the last.
template <typename T>
void ElementsNear(const TElementGrid& grid, const std::vector<T>& items, std::int32_t x1, std::int32_t y1,
                  std::int32_t x2, std::int32_t y2, std::vector<std::int32_t>& out)
{
    const auto count = static_cast<std::int32_t>(items.size());
    grid.Query(x1, y1, x2, y2, out, count - 1);
    if (count > 0) out.push_back(count - 1);
}

} // namespace

const TMapIndex& TMap::Index() const
{
    TMapIndex& index = index_;
    if (index.Id == Id() && index.Revision == Revision()) return index;
    // The edits since the grids' revision, followed one by one; building
    // afresh when the journal no longer reaches back or too much is pending.
    bool followed = false;
    if (index.Id == Id()) {
        index.Id = 0; // a follow that fails part-way leaves no grid that looks current
        bool ok = true;
        followed = EditsSince(index.Revision, [&](const TElementChange& change) {
            if (!ok) return;
            ok = change.IsRail ? index.Rails.Follow(change) && index.RailEnds.Follow(change)
                               : index.Borders.Follow(change) && index.BorderEnds.Follow(change);
        }) && ok;
    }
    if (followed) {
        index.Borders.RefreshFresh(borders_);
        index.BorderEnds.RefreshFresh(borders_);
        index.Rails.RefreshFresh(rails_);
        index.RailEnds.RefreshFresh(rails_);
    } else {
        index.Id = 0; // a build that fails part-way leaves no grid that looks current
        // Every element, the last one too: its moves are followed like any
        // other edit, and the answers leave it out.
        const auto buildByBoxes = [&] {
            index.Borders.Build(borders_, borders_.size());
            index.Rails.Build(rails_, rails_.size());
        };
        const auto buildByEnds = [&] {
            index.BorderEnds.Build(borders_, borders_.size());
            index.RailEnds.Build(rails_, rails_.size());
        };
        // A large map's grids are built on two threads, the grids by boxes
        // beside those by ends: a map of one kind of element keeps both busy.
        // The grids are separate and the elements are only read.
        if (borders_.size() + rails_.size() >= static_cast<std::size_t>(ParallelIndexFrom)) {
            std::future<void> other = std::async(std::launch::async, buildByEnds);
            buildByBoxes();
            other.get();
        } else {
            buildByBoxes();
            buildByEnds();
        }
        ++index.Builds;
    }
    index.Id = Id();
    index.Revision = Revision();
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
    return UsesIndexNear(px, py) && within(Zoom.Span(ViewWidth), 0, 4096) && within(Zoom.Span(ViewHeight), 0, 4096);
}
