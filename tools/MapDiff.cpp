#include "tools/MapDiff.h"

#include <algorithm>

namespace {

template <class Record, class Element>
std::vector<Record> SortedRecords(const std::vector<Element>& elements)
{
    std::vector<Record> records;
    records.reserve(elements.size());
    for (const Element& element : elements) records.push_back(RecordOf(element));
    std::sort(records.begin(), records.end());
    return records;
}

/// One merge walk over both sorted lists: a record left without a partner on
/// the other side is removed (from a) or added (from b).
template <class Record>
void Difference(const std::vector<Record>& a, const std::vector<Record>& b, std::vector<Record>& removed,
                std::vector<Record>& added)
{
    auto i = a.begin();
    auto j = b.begin();
    while (i != a.end() && j != b.end()) {
        if (*i < *j)
            removed.push_back(*i++);
        else if (*j < *i)
            added.push_back(*j++);
        else
            ++i, ++j;
    }
    removed.insert(removed.end(), i, a.end());
    added.insert(added.end(), j, b.end());
}

std::optional<TRailRecord> MarkedRail(const TMap& map, std::int32_t index)
{
    if (index < 0 || index >= map.RailCount()) return std::nullopt;
    return RecordOf(map.Rails()[static_cast<std::size_t>(index)]);
}

} // namespace

TRailRecord RecordOf(const TRail& rail) { return {rail.X1, rail.Y1, rail.X2, rail.Y2}; }

TBorderRecord RecordOf(const TBorder& border)
{
    return {border.X1, border.Y1, border.X2, border.Y2, border.Kind, border.Color & 0xFFFFFF};
}

bool TMapDiff::Same() const
{
    return RemovedBorders.empty() && RemovedRails.empty() && AddedBorders.empty() && AddedRails.empty() &&
           !StartChanged() && !FinishChanged();
}

TMapDiff DiffMaps(const TMap& a, const TMap& b)
{
    TMapDiff diff;
    Difference(SortedRecords<TBorderRecord>(a.Borders()), SortedRecords<TBorderRecord>(b.Borders()),
               diff.RemovedBorders, diff.AddedBorders);
    Difference(SortedRecords<TRailRecord>(a.Rails()), SortedRecords<TRailRecord>(b.Rails()), diff.RemovedRails,
               diff.AddedRails);
    diff.StartA = MarkedRail(a, a.StartRail);
    diff.StartB = MarkedRail(b, b.StartRail);
    diff.FinishA = MarkedRail(a, a.FinishRail);
    diff.FinishB = MarkedRail(b, b.FinishRail);
    return diff;
}
