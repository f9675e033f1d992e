#pragma once
// The undo history of one map. A step holds what one user action changed in
// the element arrays, as a journal of element writes, insertions and removals
// with their indices, together with the start, finish and selection marks
// before and after it; never a copy of the map. The map applies the journals
// (TMap::Undo, TMap::Redo); this class keeps them and the clean point.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/TLine.h"

/// What a step did, for the menu that names it.
enum class TStepKind : std::uint8_t {
    DrawRail,
    DrawBorder,
    Reverse,
    MakeStart,
    MakeFinish,
    Delete,
    Recolor,
    MoveEnd,
    /// The selected elements moved, cut or pasted.
    Move,
    Cut,
    Paste,
    /// Elements removed by Normalize outside any drawing (a map that was
    /// changed behind the editor's back, e.g. a damaged file loaded in part).
    Cleanup,
    /// A chain of rails laid as an arc.
    Arc,
    /// Ends set to typed coordinates.
    Coordinates,
};

/// The index fields of a map that a step restores.
struct TMapMarks {
    std::int32_t StartRail = -1;
    std::int32_t FinishRail = -1;
    std::int32_t SelRail = -1;
    std::int32_t SelBorder = -1;
    friend bool operator==(const TMapMarks&, const TMapMarks&) = default;
};

/// One change of an element array. Element values are kept with Selected
/// false: the selection flags follow SelRail and SelBorder when a step is
/// applied, so that selecting between steps never disturbs the journal.
template <class T>
struct TElementEdit {
    enum class TKind : std::uint8_t {
        Put,    ///< element Index went from Before to After
        Insert, ///< After was inserted at Index
        Erase,  ///< the elements of Removed went, each at its index before the removal
    };
    TKind Kind = TKind::Put;
    std::int32_t Index = 0;
    T Before{};
    T After{};
    /// Ascending indices, as they were before the removal, with the values removed.
    std::vector<std::pair<std::int32_t, T>> Removed;
};

/// The changes of one array in the order they were made. Recording folds
/// what cancels out: repeated writes to one element become one write, a write
/// that ends where it began disappears, and removing an element that the same
/// step inserted (a click that leaves no rail) takes the insertion back.
template <class T>
class TJournal {
public:
    std::vector<TElementEdit<T>> Edits;

    void NotePut(std::int32_t index, T before, T after);
    void NoteInsert(std::int32_t index, T value);
    void NoteErase(std::vector<std::pair<std::int32_t, T>> removed);
    std::size_t Bytes() const;
    /// True when every edit is a write that ended where it began.
    bool Unchanged() const;
    /// Drops the writes that ended where they began, and the lookup of the
    /// writes (a stored step needs neither).
    void DropUnchanged();

private:
    /// Where the write of each element since the last insertion or removal
    /// lies in Edits: moving many elements again and again (a drag of a
    /// large selection) folds each write in constant time.
    std::unordered_map<std::int32_t, std::size_t> puts_;
    /// The position of the last insertion or removal in Edits, or -1.
    std::ptrdiff_t lastShift_ = -1;
};

/// True when every field of the two elements is equal.
bool SameElement(const TRail& a, const TRail& b);
bool SameElement(const TLinkedRail& a, const TLinkedRail& b);
bool SameElement(const TBorder& a, const TBorder& b);

/// What the history keeps of an element of type T: a rail with its links,
/// so that links and ids travel with it through undo and redo.
template <class T>
struct TRecordType {
    using Type = T;
};
template <>
struct TRecordType<TRail> {
    using Type = TLinkedRail;
};
template <class T>
using TRecordOf = typename TRecordType<T>::Type;

struct TMapStep {
    TStepKind Kind = TStepKind::Cleanup;
    TMapMarks Before;
    TMapMarks After;
    TJournal<TLinkedRail> Rails;
    TJournal<TBorder> Borders;

    /// Changes nothing but the selection.
    bool IsEmpty() const;
    /// Memory held by the step, its own size included.
    std::size_t Bytes() const;
};

class TMapHistory {
public:
    /// The steps, oldest first; Position() of them are applied.
    const std::vector<TMapStep>& Steps() const { return steps_; }
    std::size_t Position() const { return position_; }
    /// The position whose state was last loaded or saved; -1 when no position holds it.
    std::ptrdiff_t CleanPosition() const { return clean_; }
    bool IsClean() const { return clean_ == static_cast<std::ptrdiff_t>(position_); }
    bool CanUndo() const { return depth_ == 0 && position_ > 0; }
    bool CanRedo() const { return depth_ == 0 && position_ < steps_.size(); }
    const TMapStep& StepToUndo() const { return steps_[position_ - 1]; }
    const TMapStep& StepToRedo() const { return steps_[position_]; }
    /// Memory held by the history.
    std::size_t Bytes() const;

    // Used by TMap.
    /// Opens a step (or nests inside the open one); true when a new step was opened.
    bool Begin(TStepKind kind);
    /// Closes one level; true when the outermost level closed.
    bool End() { return depth_ > 0 && --depth_ == 0; }
    bool IsOpen() const { return depth_ > 0; }
    /// A step is open and its journal is whole, so changes go into it.
    bool IsRecording() const { return depth_ > 0 && !broken_; }
    bool IsBroken() const { return broken_; }
    TMapStep& OpenStep() { return open_; }
    /// Stores the closed open step after the applied ones, dropping those that
    /// could have been redone; an empty or broken step is dropped instead.
    /// After a save inside the step, the clean point follows the saved state.
    void Commit();
    /// Drops the open step without storing it.
    void Discard();
    /// Drops the open step that the map has just taken back (both parts of
    /// it when it was saved in between): the clean point stays where the
    /// saved state now is.
    void Cancel();
    void MovedBack() { --position_; }
    void MovedForward() { ++position_; }
    /// The map's state now is the one in its file. Inside a recording step
    /// (a save in the middle of a drag) the part of the step made so far is
    /// set aside and the step goes on from the saved state, with the map's
    /// marks at the save: the step's end can then tell whether anything
    /// changed after the save.
    void MarkClean(const TMapMarks& marks);
    /// The map was saved while the open step was open.
    bool SavedInStep() const { return savedInStep_; }
    /// The part of the open step made before the last save in it.
    const TMapStep& StepBeforeSave() const { return beforeSave_; }
    /// Takes the route check's ids off every rail the steps keep: the ids are
    /// about to be handed out again.
    void ForgetRouteIds();
    /// Drops every step; the clean point is lost. An open step is spoiled: it
    /// records nothing more and is dropped when it closes.
    void Clear();
    /// Recording ran out of memory: the history goes, the open step with it.
    void Fail() { Clear(); }

private:
    /// Commit's storing of open_; false when the history failed meanwhile.
    bool Store();

    std::vector<TMapStep> steps_;
    std::size_t position_ = 0;
    /// A new map's saved state is the empty map at position 0.
    std::ptrdiff_t clean_ = 0;
    TMapStep open_;
    int depth_ = 0;
    bool broken_ = false;
    /// Set by a save while the step is open; beforeSave_ holds what the step
    /// changed up to the save, open_ what it changed since.
    bool savedInStep_ = false;
    TMapStep beforeSave_;
};
