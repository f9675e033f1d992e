#pragma once
// The map's revision and the journal of what its edits did to the element
// arrays, by index, for readers that keep something per element (grids,
// cached pictures, a route check that follows the edits) and would rather
// re-examine what changed than everything.
#include <cstddef>
#include <climits>
#include <cstdint>
#include <vector>

/// What one entry of the edit journal did.
enum class TEditKind : std::uint8_t {
    Added,   ///< Count elements were inserted at First; those from First on moved up by Count
    Removed, ///< the Count elements from First went; those after them moved down by Count
    Changed, ///< the Count elements from First hold other values (ends, flags, colour, links...)
    /// Some of the Count elements from First have another Selected flag and
    /// nothing else changed: readers of ends and links skip it, pictures
    /// draw its Area again. One operation notes one entry per kind of element.
    Flagged,
};

/// A box of the world, the ends of elements taken in; empty until one is.
struct TEditArea {
    std::int32_t X1 = INT32_MAX;
    std::int32_t Y1 = INT32_MAX;
    std::int32_t X2 = INT32_MIN;
    std::int32_t Y2 = INT32_MIN;

    bool Empty() const { return X1 > X2; }
    /// Takes in both ends of an element (anything with X1..Y2).
    template <class T>
    void Take(const T& line)
    {
        Take(line.X1, line.Y1);
        Take(line.X2, line.Y2);
    }
    void Take(std::int32_t x, std::int32_t y)
    {
        X1 = x < X1 ? x : X1;
        Y1 = y < Y1 ? y : Y1;
        X2 = x > X2 ? x : X2;
        Y2 = y > Y2 ? y : Y2;
    }
    void Take(const TEditArea& other)
    {
        if (other.Empty()) return;
        Take(other.X1, other.Y1);
        Take(other.X2, other.Y2);
    }
    /// The whole plane: what an edit whose elements were not looked at may have touched.
    static TEditArea All() { return {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}; }
};

/// One entry of the edit journal. Indices are those of the moment the edit
/// was made: a reader replays the entries in order.
struct TElementChange {
    TEditKind Kind = TEditKind::Changed;
    bool IsRail = false;
    std::int32_t First = 0;
    std::int32_t Count = 0;
    /// The map's revision once this edit was made.
    std::uint64_t Revision = 0;
    /// Where the elements lay before and after the edit (their ends): what
    /// a picture of them must draw again. Empty when nothing drawn changed
    /// (the route check's links).
    TEditArea Area = TEditArea::All();
    /// The area is a hint for pictures: two entries are the same edit without it.
    friend bool operator==(const TElementChange& a, const TElementChange& b)
    {
        return a.Kind == b.Kind && a.IsRail == b.IsRail && a.First == b.First && a.Count == b.Count &&
               a.Revision == b.Revision;
    }
};

/// A revision counter with a bounded log of the element edits that advanced
/// it. Every edit noted advances the revision, so an edit never shares its
/// revision with a state a reader may have seen before it.
class TEditLog {
public:
    TEditLog() = default;
    TEditLog(const TEditLog&) = default;
    TEditLog(TEditLog&&) noexcept = default;
    /// Taking another log's contents is a change that no entry describes: the
    /// revision moves past both, and readers rebuild.
    TEditLog& operator=(const TEditLog& other);
    TEditLog& operator=(TEditLog&& other) noexcept;

    std::uint64_t Revision() const { return revision_; }
    /// A change that the journal has nothing to say about (the view moved).
    void Advance() { ++revision_; }
    /// Records an edit of Count elements from First (Count > 0) whose
    /// elements lay in area before and after it.
    void Note(TEditKind kind, bool isRail, std::int32_t first, std::int32_t count, const TEditArea& area)
    {
        ++revision_;
        // Undo can note tens of thousands of runs at once: the common case stays cheap.
        const bool folds = kind == TEditKind::Changed || kind == TEditKind::Flagged;
        if (!folds && entries_.size() < entries_.capacity() && entries_.size() < Capacity) {
            entries_.push_back({kind, isRail, first, count, revision_, area});
            return;
        }
        Keep({kind, isRail, first, count, revision_, area});
    }
    /// Takes area into the last entry, when the last edit noted one.
    void WidenLast(const TEditArea& area)
    {
        if (!entries_.empty() && entries_.back().Revision == revision_) entries_.back().Area.Take(area);
    }
    /// A change too wholesale to list (a load): every reader rebuilds.
    void Restart();

    /// Visits, oldest first, every entry made after the map stood at
    /// revision. False, visiting nothing, when the log no longer reaches back
    /// that far (dropped entries, a wholesale change) or revision is not one
    /// this log has passed.
    template <class Visit>
    bool Since(std::uint64_t revision, Visit&& visit) const
    {
        if (revision < floor_ || revision > revision_) return false;
        // Entries are in ascending revision order; the first one after revision.
        std::size_t lo = 0, hi = entries_.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (entries_[mid].Revision <= revision)
                lo = mid + 1;
            else
                hi = mid;
        }
        for (std::size_t k = lo; k < entries_.size(); ++k) visit(entries_[k]);
        return true;
    }

    /// The most entries kept; the older half goes when it is reached. Tests may change it.
    static inline std::size_t Capacity = std::size_t{1} << 16;

private:
    /// Note's entry when it may fold into the last one or need room.
    void Keep(const TElementChange& change);

    std::uint64_t revision_ = 0;
    /// The oldest revision from which every later edit is still listed.
    std::uint64_t floor_ = 0;
    std::vector<TElementChange> entries_;
};
