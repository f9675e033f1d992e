#pragma once
// The route check kept current while a map is edited: every fault that
// "Проверить пути" would report on the map as it stands, found without
// changing the map, re-examining after an edit only the points the edit
// touched.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/TMap.h"

/// What the live check finds. The first six are the route check's own
/// (TRouteFaultKind, in its order); the last two are warnings, not faults.
enum class TLiveFaultKind : std::uint8_t {
    ThirdSuccessor,   ///< one per successor past the second; marked at the rail's second end
    ThirdPredecessor, ///< the rail would get a third predecessor; marked at its first end
    NoSuccessor,      ///< marked at the second end
    NoPredecessor,    ///< marked at the first end
    NoStart,          ///< Rail is -1
    NoFinish,         ///< Rail is -1
    Doomed,           ///< Normalize would remove the rail; marked at its midpoint
    Unreachable,      ///< warning: no chain of linked successors leads from the start rail to it
    FinishUnreachable ///< warning: the finish rail is unreachable; Rail is the finish rail
};

/// True for the kinds that are warnings.
constexpr bool IsWarning(TLiveFaultKind kind)
{
    return kind == TLiveFaultKind::Unreachable || kind == TLiveFaultKind::FinishUnreachable;
}

/// The words for a kind, as the fault window and the notice write them (UTF-8).
std::string_view LiveFaultWords(TLiveFaultKind kind);

/// One fault or warning. Count is how many times the route check would list
/// it (a third predecessor can be found twice per rail joined to it, a third
/// successor once per successor past the second); 1 for every other kind.
struct TLiveFault {
    std::int32_t Rail = -1;
    TLiveFaultKind Kind = TLiveFaultKind::NoStart;
    std::int32_t Count = 1;
    friend bool operator==(const TLiveFault&, const TLiveFault&) = default;
};

/// A fault's or warning's mark: where it is drawn, in world units.
struct TLiveMark {
    std::int32_t Rail = -1;
    TLiveFaultKind Kind = TLiveFaultKind::NoSuccessor;
    TPoint At;
    friend bool operator==(const TLiveMark&, const TLiveMark&) = default;
};

/// Follows one map (any map: switching maps, or a load, examines everything
/// once) and knows its route faults as the route check would find them on
/// the map as it stands, with the rails that Normalize would remove left out
/// of the joining and reported as faults of their own. Reads the map only:
/// no Normalize, no links written, nothing marked modified or selected.
///
/// Cost: Follow after an edit re-examines the points where the edited rails
/// end, before and after the edit, through the map's grid of ends (below
/// TMap::IndexFrom elements, a scan of the rails), each in the product of the
/// rails ending and starting there; inserting or removing rails in the
/// middle of the array moves one block of the per-rail state (about 41 bytes
/// a rail with the links), not the states after it.
/// Examining everything sorts the rails' ends by point, linear in the rails.
class TLiveRoutes {
public:
    /// Brings the examination up to the map as it stands now.
    void Follow(const TMap& map);
    /// Examines every rail of map afresh, whatever was followed before.
    void ExamineAll(const TMap& map);

    /// The map the examination stands for, and its revision, start and
    /// finish: a list made from it is current while these are the map's.
    std::uint64_t MapId() const { return mapId_; }
    std::uint64_t Revision() const { return revision_; }

    /// Every fault counted as the route check counts them (Count included),
    /// with the rails Normalize would remove; no warnings.
    std::int64_t FaultCount() const;
    /// The faults of one kind (warnings included, which computes them).
    std::int64_t CountOf(TLiveFaultKind kind);
    /// Warnings: the unreachable rails, and the unreachable finish.
    std::int64_t WarningCount();

    /// Visits the faults, rail by rail in ascending index, each rail's in the
    /// order of TLiveFaultKind, then no start and no finish. Stops early when
    /// visit returns false.
    template <class Visit>
    void ForEachFault(Visit&& visit) const;
    /// Visits the warnings: unreachable rails in ascending index, then the finish.
    template <class Visit>
    void ForEachWarning(Visit&& visit);

    /// The faults of one rail (index of now), with their Count.
    std::vector<TLiveFault> FaultsOf(std::int32_t rail) const;
    /// The marks whose point lies in the world rectangle [x1, x2] x [y1, y2]
    /// (x1 <= x2, y1 <= y2), rail by rail in ascending index, each rail's
    /// kinds in order, warnings too when warnings is true. Found through the
    /// map's grid of rails, so the cost is that of the rails near the
    /// rectangle, not of every fault. map is the map last followed.
    void MarksIn(const TMap& map, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, bool warnings,
                 std::vector<TLiveMark>& out);

    /// Whether the rail (index of now) can be reached from the start rail by
    /// following linked successors (the first two a rail finds, as the
    /// route check links them). With no valid start nothing is unreachable:
    /// the missing start is the fault. Computed on the first question after
    /// a change, over every rail.
    bool Reachable(std::int32_t rail);

    /// How many times the whole map was examined (for tests and benchmarks).
    std::uint64_t FullExaminations() const { return fullExaminations_; }
    /// The rail states are kept in blocks of 2^BlockShift. Tests make it
    /// small, while no TLiveRoutes exists, so that small maps span many blocks.
    static inline std::size_t BlockShift = 11;

private:
    enum : std::uint8_t { Doomed = 1, NoSuccessor = 2, NoPredecessor = 4, Fresh = 8 };
    /// What the last examination knows of one rail, at its index of now.
    struct TRailState {
        /// The rail's ends when it was examined: the points its next edit touches.
        std::int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
        /// The rail's own number in links_, which stays while indices shift.
        std::int32_t Id = -1;
        /// Successors past the second: one third-successor fault each.
        std::int32_t ExtraSuccessors = 0;
        /// How many third-predecessor faults the rail gets.
        std::int32_t ThirdPredecessors = 0;
        std::uint8_t Flags = 0;
    };
    /// The rail states by index of now, held in blocks, so that inserting or
    /// removing rails in the middle moves one block's states and a number
    /// per block rather than every state after them.
    class TStates {
    public:
        std::size_t Size() const { return firsts_.empty() ? 0 : firsts_.back(); }
        TRailState& operator[](std::size_t k)
        {
            const std::size_t b = BlockOf(k);
            return blocks_[b][k - firsts_[b]];
        }
        const TRailState& operator[](std::size_t k) const { return const_cast<TStates&>(*this)[k]; }
        /// n default states in full blocks, where an index finds its block by a shift.
        void Reset(std::size_t n);
        void Insert(std::size_t at, std::size_t count, const TRailState& value);
        void Erase(std::size_t at, std::size_t count);
        /// Calls visit(index, state) for every state in index order; stops when it returns false.
        template <class Visit>
        void ForEach(Visit&& visit) const
        {
            std::size_t k = 0;
            for (const std::vector<TRailState>& block : blocks_)
                for (const TRailState& s : block)
                    if (!visit(k++, s)) return;
        }

    private:
        static std::size_t Block() { return std::size_t{1} << BlockShift; }
        std::size_t BlockOf(std::size_t k) const;
        /// Cuts block b into full blocks when it has grown past limit.
        void Split(std::size_t b, std::size_t limit);
        void Renumber();

        std::vector<std::vector<TRailState>> blocks_;
        /// The index of each block's first state, then the size.
        std::vector<std::size_t> firsts_;
        /// Every block but the last is full: a block is found by a shift.
        bool uniform_ = true;
        mutable std::size_t cached_ = 0;
    };
    /// The successors the route check would link, by rail Id; -1 for none.
    struct TLinks {
        std::int32_t Next1 = -1, Next2 = -1;
    };
    /// The rails with an end at one point, ascending: those ending there and
    /// those starting there, Normalize's rails left out.
    struct TPointRails {
        std::vector<std::int32_t> Ending;
        std::vector<std::int32_t> Starting;
    };

    /// Follow's work, which may leave the state half changed when it throws.
    void FollowEdits(const TMap& map);
    /// Adds (sign 1) or takes away (-1) a rail's faults from the counts.
    void Account(const TRailState& state, std::int64_t sign);
    /// Joins the rails at one point as the route check would and writes the
    /// successor side of those ending there and the predecessor side of
    /// those starting there.
    void ExaminePoint(const std::vector<TRail>& rails, const TPointRails& at);
    /// The rails with an end exactly at p.
    void RailsAt(const TMap& map, TPoint p, TPointRails& at);
    std::int32_t NewId();
    /// Brings the reachability up to the map's revision, start and finish.
    void Reach();
    bool StartValid() const;
    bool FinishValid() const;
    static TPoint Midpoint(const TRailState& s);

    std::uint64_t mapId_ = 0;
    std::uint64_t revision_ = 0;
    std::int32_t start_ = -1;
    std::int32_t finish_ = -1;
    TStates states_;
    std::vector<TLinks> links_;
    std::vector<std::int32_t> freeIds_;
    /// Faults by kind (TLiveFaultKind's first seven), as the route check counts them.
    std::int64_t counts_[7] = {};
    std::uint64_t fullExaminations_ = 0;

    // Reachability, computed lazily, by rail Id.
    std::uint64_t reachChanges_ = 0;
    /// Grows with every change Follow sees, so the reachability knows it is stale.
    std::uint64_t changes_ = 1;
    std::vector<std::uint8_t> reached_;
    std::int64_t unreachable_ = 0;
    bool finishUnreachable_ = false;

    // Scratch kept between calls.
    struct TEnd {
        std::uint32_t Point;
        std::uint32_t RailEnd;
    };
    std::vector<TEnd> ends_;
    std::vector<TEnd> sorted_;
    std::vector<std::int32_t> near_;
    TPointRails at_;
    std::vector<std::int32_t> joined_;
    std::vector<std::int32_t> thirds_;
};

template <class Visit>
void TLiveRoutes::ForEachFault(Visit&& visit) const
{
    bool go = true;
    states_.ForEach([&](std::size_t k, const TRailState& s) {
        const auto rail = static_cast<std::int32_t>(k);
        const auto give = [&](TLiveFaultKind kind, std::int32_t count) {
            return go = visit(TLiveFault{rail, kind, count});
        };
        if (s.Flags & Doomed) return give(TLiveFaultKind::Doomed, 1);
        if (s.ExtraSuccessors > 0 && !give(TLiveFaultKind::ThirdSuccessor, s.ExtraSuccessors)) return false;
        if (s.ThirdPredecessors > 0 && !give(TLiveFaultKind::ThirdPredecessor, s.ThirdPredecessors)) return false;
        if ((s.Flags & NoSuccessor) && !give(TLiveFaultKind::NoSuccessor, 1)) return false;
        if ((s.Flags & NoPredecessor) && !give(TLiveFaultKind::NoPredecessor, 1)) return false;
        return true;
    });
    if (!go) return;
    if (!StartValid() && !visit(TLiveFault{-1, TLiveFaultKind::NoStart, 1})) return;
    if (!FinishValid()) visit(TLiveFault{-1, TLiveFaultKind::NoFinish, 1});
}

template <class Visit>
void TLiveRoutes::ForEachWarning(Visit&& visit)
{
    Reach();
    bool go = true;
    if (unreachable_ > 0)
        states_.ForEach([&](std::size_t k, const TRailState& s) {
            if (s.Flags & Doomed || reached_[static_cast<std::size_t>(s.Id)]) return true;
            return go = visit(TLiveFault{static_cast<std::int32_t>(k), TLiveFaultKind::Unreachable, 1});
        });
    if (go && finishUnreachable_) visit(TLiveFault{finish_, TLiveFaultKind::FinishUnreachable, 1});
}
