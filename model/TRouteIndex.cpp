#include "model/TRouteIndex.h"

#include <algorithm>

bool TRouteIndex::Before(TDirection a, TDirection b)
{
    // The upper half-plane (with the positive x axis) comes first; within a
    // half the cross product orders them. Differences inside the world keep
    // the products far from overflowing 64 bits.
    const bool lowerA = a.Y < 0 || (a.Y == 0 && a.X < 0);
    const bool lowerB = b.Y < 0 || (b.Y == 0 && b.X < 0);
    if (lowerA != lowerB) return lowerB;
    return std::int64_t{a.X} * b.Y - std::int64_t{a.Y} * b.X > 0;
}

void TRouteIndex::Build(const std::vector<TRail>& rails)
{
    constexpr std::size_t lines = WorldSize + 2;
    const std::size_t n = rails.size();
    rowStart_.assign(lines, 0);
    columnStart_.assign(lines, 0);
    for (const TRail& r : rails) {
        ++rowStart_[static_cast<std::size_t>(r.Y1) + 1];
        ++columnStart_[static_cast<std::size_t>(r.X1) + 1];
    }
    for (std::size_t k = 1; k < lines; ++k) {
        rowStart_[k] += rowStart_[k - 1];
        columnStart_[k] += columnStart_[k - 1];
    }

    // Two stable counting passes, by row and then by column, leave each
    // column in ascending (y, rail) in linear time.
    byRow_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TRail& r = rails[i];
        byRow_[static_cast<std::size_t>(rowStart_[static_cast<std::size_t>(r.Y1)]++)] = {r.X1, static_cast<std::int32_t>(i)};
    }
    std::copy(columnStart_.begin(), columnStart_.end() - 1, rowStart_.begin());
    entries_.resize(n);
    for (const TByRow& e : byRow_) {
        const TRail& r = rails[static_cast<std::size_t>(e.Rail)];
        entries_[static_cast<std::size_t>(rowStart_[static_cast<std::size_t>(e.X)]++)] = {r.Y1, e.Rail};
    }

    byHeading_.resize(n);
    const auto byHeading = [&rails](std::int32_t a, std::int32_t b) {
        const TDirection da = DirectionOf(rails[static_cast<std::size_t>(a)]);
        const TDirection db = DirectionOf(rails[static_cast<std::size_t>(b)]);
        if (Before(da, db)) return true;
        if (Before(db, da)) return false;
        return a < b;
    };
    for (std::size_t x = 0; x + 1 < lines; ++x) {
        const auto columnEnd = static_cast<std::size_t>(columnStart_[x + 1]);
        if (columnEnd - static_cast<std::size_t>(columnStart_[x]) <= ScannedRun) continue;
        for (auto begin = static_cast<std::size_t>(columnStart_[x]); begin < columnEnd;) {
            std::size_t end = begin + 1;
            while (end < columnEnd && entries_[end].Y == entries_[begin].Y) ++end;
            if (end - begin > ScannedRun) {
                for (std::size_t pos = begin; pos < end; ++pos) byHeading_[pos] = entries_[pos].Rail;
                std::sort(byHeading_.begin() + static_cast<std::ptrdiff_t>(begin),
                          byHeading_.begin() + static_cast<std::ptrdiff_t>(end), byHeading);
            }
            begin = end;
        }
    }
}

bool TRouteIndex::Search(const std::vector<TRail>& rails, std::int32_t rail, std::size_t begin, std::size_t end)
{
    // The headings that pass lie strictly between d turned back by a right
    // angle and d turned on by one: a range of the run sorted by heading,
    // which may wrap round past the x axis.
    passing_.clear();
    const TDirection d = DirectionOf(rails[static_cast<std::size_t>(rail)]);
    const TDirection low{d.Y, -d.X};
    const TDirection high{-d.Y, d.X};
    const auto first = byHeading_.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto last = byHeading_.begin() + static_cast<std::ptrdiff_t>(end);
    const auto direction = [&rails](std::int32_t j) { return DirectionOf(rails[static_cast<std::size_t>(j)]); };
    const auto afterLow = std::upper_bound(first, last, low, [&](TDirection v, std::int32_t j) { return Before(v, direction(j)); });
    const auto fromHigh = std::lower_bound(first, last, high, [&](std::int32_t j, TDirection v) { return Before(direction(j), v); });
    const bool wraps = !Before(low, high);
    const auto count = static_cast<std::size_t>(wraps ? (last - afterLow) + (fromHigh - first) : fromHigh - afterLow);
    // Many pass: the run in index order, tested one by one, costs no more
    // than a few times their number. Few pass: they alone, sorted by index.
    if (count > 0 && 4 * count >= end - begin) return false;
    if (wraps) {
        passing_.insert(passing_.end(), afterLow, last);
        passing_.insert(passing_.end(), first, fromHigh);
    } else {
        passing_.insert(passing_.end(), afterLow, fromHigh);
    }
    passing_.erase(std::remove(passing_.begin(), passing_.end(), rail), passing_.end());
    std::sort(passing_.begin(), passing_.end());
    return true;
}
