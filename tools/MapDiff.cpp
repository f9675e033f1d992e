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

// Records whose coordinates fit in 16 bits (every map that a file can hold)
// sort as packed integers: one or two compares instead of up to six.

bool Fits16(std::int32_t v) { return v >= -32768 && v <= 32767; }
std::uint64_t Pack16(std::int32_t v) { return static_cast<std::uint64_t>(v + 32768); }
std::int32_t Unpack16(std::uint64_t bits) { return static_cast<std::int32_t>(bits & 0xFFFF) - 32768; }

template <class Element>
bool AllFit16(const std::vector<Element>& elements)
{
    return std::all_of(elements.begin(), elements.end(), [](const TLine& e) {
        return Fits16(e.X1) && Fits16(e.Y1) && Fits16(e.X2) && Fits16(e.Y2);
    });
}

/// The coordinates in record order, most significant first: unsigned order
/// of the keys is the records' order.
std::uint64_t PackedLine(const TLine& e)
{
    return Pack16(e.X1) << 48 | Pack16(e.Y1) << 32 | Pack16(e.X2) << 16 | Pack16(e.Y2);
}

struct TPackedBorder {
    std::uint64_t Line;
    std::uint32_t KindColor;  ///< kind above the 24 colour bits
    friend auto operator<=>(const TPackedBorder&, const TPackedBorder&) = default;
};

TPackedBorder Packed(const TBorder& b)
{
    return {PackedLine(b), static_cast<std::uint32_t>(b.Kind) << 24 | (b.Color & 0xFFFFFF)};
}
std::uint64_t Packed(const TRail& r) { return PackedLine(r); }

TRailRecord Unpacked(std::uint64_t line)
{
    return {Unpack16(line >> 48), Unpack16(line >> 32), Unpack16(line >> 16), Unpack16(line)};
}

TBorderRecord Unpacked(const TPackedBorder& b)
{
    const TRailRecord line = Unpacked(b.Line);
    return {line.X1, line.Y1, line.X2, line.Y2, static_cast<std::uint8_t>(b.KindColor >> 24), b.KindColor & 0xFFFFFF};
}

/// The difference of one kind of element: packed where both sides fit.
template <class Record, class Element>
void DifferenceOf(const std::vector<Element>& a, const std::vector<Element>& b, std::vector<Record>& removed,
                  std::vector<Record>& added)
{
    if (!AllFit16(a) || !AllFit16(b)) {
        Difference(SortedRecords<Record>(a), SortedRecords<Record>(b), removed, added);
        return;
    }
    using TKey = decltype(Packed(a.front()));
    const auto sorted = [](const std::vector<Element>& elements) {
        std::vector<TKey> keys;
        keys.reserve(elements.size());
        for (const Element& e : elements) keys.push_back(Packed(e));
        std::sort(keys.begin(), keys.end());
        return keys;
    };
    std::vector<TKey> removedKeys, addedKeys;
    Difference(sorted(a), sorted(b), removedKeys, addedKeys);
    for (const TKey& key : removedKeys) removed.push_back(Unpacked(key));
    for (const TKey& key : addedKeys) added.push_back(Unpacked(key));
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
    DifferenceOf(a.Borders(), b.Borders(), diff.RemovedBorders, diff.AddedBorders);
    DifferenceOf(a.Rails(), b.Rails(), diff.RemovedRails, diff.AddedRails);
    diff.StartA = MarkedRail(a, a.StartRail);
    diff.StartB = MarkedRail(b, b.StartRail);
    diff.FinishA = MarkedRail(a, a.FinishRail);
    diff.FinishB = MarkedRail(b, b.FinishRail);
    return diff;
}
