#pragma once
// What changed between two maps: their borders and rails compared as
// multisets of whole records, and their start and finish rails by the
// records of the rails they mark.
#include <compare>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/TMap.h"

/// A rail as the diff sees it: its four coordinates, in their order, so a
/// reversed rail is another record.
struct TRailRecord {
    std::int32_t X1 = 0;
    std::int32_t Y1 = 0;
    std::int32_t X2 = 0;
    std::int32_t Y2 = 0;
    friend auto operator<=>(const TRailRecord&, const TRailRecord&) = default;
};

/// A border as the diff sees it: its coordinates, its kind and its colour.
/// Records sort by the coordinates, then the kind, then the colour.
struct TBorderRecord {
    std::int32_t X1 = 0;
    std::int32_t Y1 = 0;
    std::int32_t X2 = 0;
    std::int32_t Y2 = 0;
    std::uint8_t Kind = 0;
    TColor Color = 0;
    friend auto operator<=>(const TBorderRecord&, const TBorderRecord&) = default;
};

TRailRecord RecordOf(const TRail& rail);
TBorderRecord RecordOf(const TBorder& border);

/// The difference from map A to map B. Each list is sorted by record and
/// holds an element as often as A has it more than B (removed) or B more
/// than A (added).
struct TMapDiff {
    std::vector<TBorderRecord> RemovedBorders;
    std::vector<TRailRecord> RemovedRails;
    std::vector<TBorderRecord> AddedBorders;
    std::vector<TRailRecord> AddedRails;
    /// The records of the rails that A's and B's start and finish indexes
    /// mark; none for an index that names no rail.
    std::optional<TRailRecord> StartA, StartB, FinishA, FinishB;

    bool StartChanged() const { return StartA != StartB; }
    bool FinishChanged() const { return FinishA != FinishB; }
    /// Nothing removed, nothing added, the same start and finish.
    bool Same() const;
};

/// Compares the maps as they are (a loaded map is already normalised).
/// Sorts copies of the records: O(n log n) time and a record per element of memory.
TMapDiff DiffMaps(const TMap& a, const TMap& b);
