#include "model/TMapIndex.h"

#include <algorithm>
#include <future>

#include "model/TMap.h"

namespace {

/// A cell lists its element indices as gaps from the one before, seven bits to
/// a byte, the high bit set on every byte but a gap's last.
std::uint32_t NextGap(const std::uint8_t*& in)
{
    std::uint32_t gap = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t b = *in++;
        gap |= static_cast<std::uint32_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return gap;
    }
}

} // namespace

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
                index += static_cast<std::int32_t>(NextGap(in));
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

std::int32_t TElementGrid::CellsOfLarger(std::int32_t cx1, std::int32_t cy1, std::int32_t cx2, std::int32_t cy2,
                                        std::uint32_t* cells) const
{
    if (std::int64_t{cx2 - cx1 + 1} * (cy2 - cy1 + 1) > MaxCellsPerElement) return -1;
    const auto row = static_cast<std::uint32_t>(cells_);
    std::int32_t n = 0;
    for (std::int32_t cy = cy1; cy <= cy2; ++cy)
        for (std::int32_t cx = cx1; cx <= cx2; ++cx)
            cells[n++] = static_cast<std::uint32_t>(cy) * row + static_cast<std::uint32_t>(cx);
    return n;
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
    case TEditKind::Flagged: return true; // the grids hold no flags
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
        // An empty area moved no end (the route check's links).
        if (builtIn == 0 || change.Area.Empty()) return true;
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

bool TElementGrid::Relist(const std::vector<TIndexedBox>& changed, const TEditArea& area)
{
    if (offsets_.empty() || !fresh_.empty() || !gone_.empty()) return false;
    // The cells written again: those of the area, and the origin's, where an
    // element being added lay zeroed for a moment that no area tells of.
    std::int32_t rx1 = 1, ry1 = 1, rx2 = 0, ry2 = 0;
    if (!area.Empty()) {
        rx1 = CellOf(area.X1);
        ry1 = CellOf(area.Y1);
        rx2 = CellOf(area.X2);
        ry2 = CellOf(area.Y2);
    }
    const auto inRegion = [&](std::int32_t cx, std::int32_t cy) {
        return (cx >= rx1 && cx <= rx2 && cy >= ry1 && cy <= ry2) || (cx == 0 && cy == 0);
    };
    const std::size_t cellCount = static_cast<std::size_t>(cells_) * static_cast<std::size_t>(cells_);
    const auto eachCell = [this](const TIndexedBox& e, auto visit) {
        if (byEnds_) {
            const std::int32_t cx1 = CellOf(e.X1), cy1 = CellOf(e.Y1), cx2 = CellOf(e.X2), cy2 = CellOf(e.Y2);
            visit(cx1, cy1);
            if (cx2 != cx1 || cy2 != cy1) visit(cx2, cy2);
            return;
        }
        for (std::int32_t cy = CellOf(std::min(e.Y1, e.Y2)); cy <= CellOf(std::max(e.Y1, e.Y2)); ++cy)
            for (std::int32_t cx = CellOf(std::min(e.X1, e.X2)); cx <= CellOf(std::max(e.X1, e.X2)); ++cx)
                visit(cx, cy);
    };
    const auto cellAt = [this](std::int32_t cx, std::int32_t cy) {
        return static_cast<std::size_t>(cy) * static_cast<std::size_t>(cells_) + static_cast<std::size_t>(cx);
    };

    // The changed elements by the cell of the region they reach now (a
    // counting sort: each cell's list comes out ascending). An element that
    // reaches cells outside it lies where it lay (a range of changes may hold
    // elements left as they were): those cells list it already.
    std::vector<std::uint32_t> start(cellCount + 1, 0);
    std::vector<std::int32_t> wideNow;
    for (const TIndexedBox& e : changed) {
        if (IsWide({e.X1, e.Y1, e.X2, e.Y2})) {
            wideNow.push_back(e.Index);
            continue;
        }
        eachCell(e, [&](std::int32_t cx, std::int32_t cy) {
            if (inRegion(cx, cy)) ++start[cellAt(cx, cy) + 1];
        });
    }
    for (std::size_t c = 0; c < cellCount; ++c) start[c + 1] += start[c];
    std::vector<std::int32_t> placed(start[cellCount]);
    {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (const TIndexedBox& e : changed)
            if (!IsWide({e.X1, e.Y1, e.X2, e.Y2}))
                eachCell(e, [&](std::int32_t cx, std::int32_t cy) {
                    if (inRegion(cx, cy)) placed[next[cellAt(cx, cy)]++] = e.Index;
                });
    }
    // Which elements changed, by index.
    const std::size_t words = changed.empty() ? 0 : static_cast<std::size_t>(changed.back().Index) / 64 + 1;
    std::vector<std::uint64_t> isChanged(words, 0);
    for (const TIndexedBox& e : changed) {
        const auto k = static_cast<std::size_t>(e.Index);
        isChanged[k / 64] |= std::uint64_t{1} << (k % 64);
    }
    const auto wasChanged = [&](std::int32_t index) {
        const auto k = static_cast<std::size_t>(index);
        return k / 64 < words && (isChanged[k / 64] >> (k % 64) & 1);
    };

    // The cells again: those outside the region copied a run at a time,
    // those inside merged from their unchanged elements and the changed ones.
    std::vector<std::uint8_t>& out = spare_;
    out.clear();
    out.reserve(bytes_.size() + bytes_.size() / 8 + 64);
    std::vector<std::int32_t> kept;
    const auto put = [&out](std::uint32_t gap) {
        while (gap >= 0x80) {
            out.push_back(static_cast<std::uint8_t>(gap | 0x80));
            gap >>= 7;
        }
        out.push_back(static_cast<std::uint8_t>(gap));
    };
    // offsets_ holds the new offsets up to cell run and the old ones after
    // it; oldAt is the old offset of cell run.
    std::size_t run = 0;
    std::uint32_t oldAt = 0;
    const auto copyRun = [&](std::size_t to) {
        if (run == to) return;
        const std::uint32_t oldTo = offsets_[to];
        const std::int64_t shift = static_cast<std::int64_t>(out.size()) - oldAt;
        out.insert(out.end(), bytes_.begin() + oldAt, bytes_.begin() + oldTo);
        for (std::size_t c = run + 1; c <= to; ++c)
            offsets_[c] = static_cast<std::uint32_t>(static_cast<std::int64_t>(offsets_[c]) + shift);
        run = to;
        oldAt = oldTo;
    };
    for (std::size_t c = 0; c < cellCount; ++c) {
        const auto cx = static_cast<std::int32_t>(c % static_cast<std::size_t>(cells_));
        const auto cy = static_cast<std::int32_t>(c / static_cast<std::size_t>(cells_));
        if (!inRegion(cx, cy)) continue;
        copyRun(c);
        const std::uint32_t oldEnd = offsets_[c + 1];
        kept.clear();
        const std::uint8_t* in = bytes_.data() + oldAt;
        const std::uint8_t* const end = bytes_.data() + oldEnd;
        std::int32_t index = -1;
        while (in != end) {
            index += static_cast<std::int32_t>(NextGap(in));
            if (!wasChanged(index)) kept.push_back(index);
        }
        const auto mid = static_cast<std::ptrdiff_t>(kept.size());
        kept.insert(kept.end(), placed.begin() + start[c], placed.begin() + start[c + 1]);
        std::inplace_merge(kept.begin(), kept.begin() + mid, kept.end());
        std::int32_t last = -1;
        for (const std::int32_t k : kept) {
            put(static_cast<std::uint32_t>(k - last));
            last = k;
        }
        if (out.size() > UINT32_MAX) throw std::length_error("grid too large");
        offsets_[c + 1] = static_cast<std::uint32_t>(out.size());
        run = c + 1;
        oldAt = oldEnd;
    }
    copyRun(cellCount);
    if (out.size() > UINT32_MAX) throw std::length_error("grid too large");
    bytes_.swap(out);

    std::erase_if(wide_, wasChanged);
    const auto mid = static_cast<std::ptrdiff_t>(wide_.size());
    wide_.insert(wide_.end(), wideNow.begin(), wideNow.end());
    std::inplace_merge(wide_.begin(), wide_.begin() + mid, wide_.end());
    return true;
}

std::size_t TElementGrid::MemoryBytes() const
{
    return offsets_.capacity() * sizeof(std::uint32_t) + bytes_.capacity() + wide_.capacity() * sizeof(std::int32_t) +
           fresh_.capacity() * sizeof(TFresh) + gone_.capacity() * sizeof(std::int32_t) + spare_.capacity();
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

/// The element ends that the changes of one kind of element since the
/// grids' revision moved: which indices, how many, and where they lay.
struct TMovedEnds {
    std::vector<std::pair<std::int32_t, std::int32_t>> Ranges;
    std::int64_t Count = 0;
    TEditArea Area;

    void Take(const TElementChange& change)
    {
        Ranges.emplace_back(change.First, change.Count);
        Count += change.Count;
        Area.Take(change.Area);
    }
    /// More than following them one by one would keep aside in the grids.
    bool TooManyFor(const TElementGrid& boxes, const TElementGrid& ends) const
    {
        const std::size_t pending = std::max(boxes.Pending(), ends.Pending());
        return Count > 0 && 2 * static_cast<std::uint64_t>(Count) + pending > TElementGrid::MaxPending;
    }
};

template <typename T>
bool Relist(TElementGrid& boxes, TElementGrid& ends, const std::vector<T>& items, const TMovedEnds& moved)
{
    const std::vector<TElementGrid::TIndexedBox> changed = TElementGrid::BoxesIn(items, moved.Ranges, moved.Area);
    return boxes.Relist(changed, moved.Area) && ends.Relist(changed, moved.Area);
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
        // With no element added or removed, the ends of one kind that many
        // changes moved are listed again in place; the entries of the other are followed.
        TMovedEnds rails, borders;
        bool shifted = false;
        const bool reached = EditsSince(index.Revision, [&](const TElementChange& change) {
            if (change.Kind == TEditKind::Added || change.Kind == TEditKind::Removed) shifted = true;
            // An empty area moved no end (the route check's links).
            if (change.Kind == TEditKind::Changed && !change.Area.Empty())
                (change.IsRail ? rails : borders).Take(change);
        });
        const bool relistRails = reached && !shifted && rails.TooManyFor(index.Rails, index.RailEnds);
        const bool relistBorders = reached && !shifted && borders.TooManyFor(index.Borders, index.BorderEnds);
        bool ok = true;
        followed = reached && EditsSince(index.Revision, [&](const TElementChange& change) {
            if (!ok || (change.IsRail ? relistRails : relistBorders)) return;
            ok = change.IsRail ? index.Rails.Follow(change) && index.RailEnds.Follow(change)
                               : index.Borders.Follow(change) && index.BorderEnds.Follow(change);
        }) && ok;
        if (followed && relistRails) followed = Relist(index.Rails, index.RailEnds, rails_, rails);
        if (followed && relistBorders) followed = Relist(index.Borders, index.BorderEnds, borders_, borders);
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

void TMap::PrepareIndex() const
{
    if (BorderCount() + RailCount() >= IndexFrom) Index();
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
