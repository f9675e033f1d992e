#include "model/TMapHistory.h"

#include <algorithm>
#include <new>

namespace {

bool SameLine(const TLine& a, const TLine& b)
{
    return a.Selected == b.Selected && SameEnds(a, b);
}

template <class T>
T Unselected(T value)
{
    value.Selected = false;
    return value;
}

/// Index of the last insertion or removal, or -1; the writes after it name
/// indices that nothing has shifted since.
template <class T>
std::ptrdiff_t LastShift(const std::vector<TElementEdit<T>>& edits)
{
    for (auto k = static_cast<std::ptrdiff_t>(edits.size()); k-- > 0;)
        if (edits[static_cast<std::size_t>(k)].Kind != TElementEdit<T>::TKind::Put) return k;
    return -1;
}

/// Records the edits of a later journal into an earlier one, folding them as
/// if both had been one journal from the start.
template <class T>
void Refold(TJournal<T>& into, const TJournal<T>& later)
{
    using TKind = typename TElementEdit<T>::TKind;
    for (const auto& edit : later.Edits) {
        switch (edit.Kind) {
        case TKind::Put: into.NotePut(edit.Index, edit.Before, edit.After); break;
        case TKind::Insert: into.NoteInsert(edit.Index, edit.After); break;
        case TKind::Erase: into.NoteErase(edit.Removed); break;
        }
    }
}

/// The step that step and then later make together.
void Append(TMapStep& step, const TMapStep& later)
{
    Refold(step.Rails, later.Rails);
    Refold(step.Borders, later.Borders);
    step.After = later.After;
}

} // namespace

bool SameElement(const TRail& a, const TRail& b)
{
    return SameLine(a, b) && a.IsStart == b.IsStart && a.IsFinish == b.IsFinish;
}

bool SameElement(const TLinkedRail& a, const TLinkedRail& b)
{
    return SameElement(static_cast<const TRail&>(a), static_cast<const TRail&>(b)) && a.Links == b.Links;
}

bool SameElement(const TBorder& a, const TBorder& b)
{
    return SameLine(a, b) && a.Color == b.Color && a.Kind == b.Kind;
}

template <class T>
void TJournal<T>::NotePut(std::int32_t index, T before, T after)
{
    using TKind = typename TElementEdit<T>::TKind;
    before = Unselected(before);
    after = Unselected(after);
    // A write that ends where it began stays as it is until the step is
    // stored, so that the positions the lookup holds never move.
    if (const auto put = puts_.find(index); put != puts_.end()) {
        Edits[put->second].After = after;
        return;
    }
    if (lastShift_ >= 0) {
        TElementEdit<T>& edit = Edits[static_cast<std::size_t>(lastShift_)];
        if (edit.Kind == TKind::Insert && edit.Index == index) {
            edit.After = after;
            return;
        }
    }
    if (SameElement(before, after)) return;
    Edits.push_back({TKind::Put, index, before, after, {}});
    puts_[index] = Edits.size() - 1;
}

template <class T>
bool TJournal<T>::Unchanged() const
{
    return std::all_of(Edits.begin(), Edits.end(), [](const TElementEdit<T>& edit) {
        return edit.Kind == TElementEdit<T>::TKind::Put && SameElement(edit.Before, edit.After);
    });
}

template <class T>
void TJournal<T>::DropUnchanged()
{
    std::erase_if(Edits, [](const TElementEdit<T>& edit) {
        return edit.Kind == TElementEdit<T>::TKind::Put && SameElement(edit.Before, edit.After);
    });
    puts_.clear();
    lastShift_ = LastShift(Edits);
}

template <class T>
void TJournal<T>::NoteInsert(std::int32_t index, T value)
{
    Edits.push_back({TElementEdit<T>::TKind::Insert, index, T{}, Unselected(value), {}});
    puts_.clear();
    lastShift_ = static_cast<std::ptrdiff_t>(Edits.size()) - 1;
}

template <class T>
void TJournal<T>::NoteErase(std::vector<std::pair<std::int32_t, T>> removed)
{
    using TKind = typename TElementEdit<T>::TKind;
    // An element inserted by this step and removed again leaves no trace.
    for (;;) {
        const std::ptrdiff_t shift = LastShift(Edits);
        if (shift < 0 || Edits[static_cast<std::size_t>(shift)].Kind != TKind::Insert) break;
        const std::int32_t inserted = Edits[static_cast<std::size_t>(shift)].Index;
        const auto hit = std::lower_bound(removed.begin(), removed.end(), inserted,
                                          [](const auto& entry, std::int32_t i) { return entry.first < i; });
        if (hit == removed.end() || hit->first != inserted) break;
        for (auto k = static_cast<std::size_t>(shift) + 1; k < Edits.size(); ++k)
            if (Edits[k].Index > inserted) --Edits[k].Index;
        Edits.erase(Edits.begin() + shift);
        for (auto later = removed.erase(hit); later != removed.end(); ++later) --later->first;
    }
    // The insertions taken back moved the later edits: the lookup starts afresh.
    puts_.clear();
    lastShift_ = LastShift(Edits);
    if (removed.empty()) return;
    for (auto& entry : removed) entry.second = Unselected(entry.second);
    Edits.push_back({TKind::Erase, 0, T{}, T{}, std::move(removed)});
    lastShift_ = static_cast<std::ptrdiff_t>(Edits.size()) - 1;
}

template <class T>
std::size_t TJournal<T>::Bytes() const
{
    std::size_t bytes = Edits.capacity() * sizeof(TElementEdit<T>);
    for (const auto& edit : Edits) bytes += edit.Removed.capacity() * sizeof(edit.Removed[0]);
    return bytes;
}

template class TJournal<TLinkedRail>;
template class TJournal<TBorder>;

bool TMapStep::IsEmpty() const
{
    return Rails.Unchanged() && Borders.Unchanged() && Before.StartRail == After.StartRail &&
           Before.FinishRail == After.FinishRail;
}

std::size_t TMapStep::Bytes() const { return sizeof(TMapStep) + Rails.Bytes() + Borders.Bytes(); }

std::size_t TMapHistory::Bytes() const
{
    std::size_t bytes = sizeof(TMapHistory) + (steps_.capacity() - steps_.size()) * sizeof(TMapStep);
    for (const TMapStep& step : steps_) bytes += step.Bytes();
    bytes += open_.Rails.Bytes() + open_.Borders.Bytes();
    return bytes + beforeSave_.Rails.Bytes() + beforeSave_.Borders.Bytes();
}

bool TMapHistory::Begin(TStepKind kind)
{
    if (depth_++ > 0) return false;
    open_ = TMapStep{};
    open_.Kind = kind;
    broken_ = false;
    return true;
}

void TMapHistory::Commit()
{
    if (!savedInStep_) {
        Store();
        Discard();
        return;
    }
    // Saved in the middle of the step: the file holds the state between its
    // two parts. Unchanged since, the state now is the saved one; unchanged
    // before, the saved state is the one the step started from.
    enum class TClean { Now, AtStart, Nowhere };
    const TClean saved = broken_                  ? TClean::Nowhere
                         : open_.IsEmpty()        ? TClean::Now
                         : beforeSave_.IsEmpty()  ? TClean::AtStart
                                                  : TClean::Nowhere;
    const std::size_t start = position_;
    bool whole = !broken_;
    if (whole) {
        try {
            TMapStep step = std::move(beforeSave_);
            Append(step, open_);
            open_ = std::move(step);
        } catch (const std::bad_alloc&) {
            Fail();
        }
        whole = !broken_;
    }
    if (whole) whole = Store();
    Discard();
    clean_ = saved == TClean::Now ? static_cast<std::ptrdiff_t>(position_)
             : saved == TClean::AtStart && whole ? static_cast<std::ptrdiff_t>(start)
                                                 : -1;
}

bool TMapHistory::Store()
{
    if (broken_ || open_.IsEmpty()) return !broken_;
    try {
        open_.Rails.DropUnchanged();
        open_.Borders.DropUnchanged();
        open_.Rails.Edits.shrink_to_fit();
        open_.Borders.Edits.shrink_to_fit();
        steps_.resize(position_);
        if (clean_ > static_cast<std::ptrdiff_t>(position_)) clean_ = -1;
        steps_.push_back(std::move(open_));
        ++position_;
    } catch (const std::bad_alloc&) {
        Fail();
        return false;
    }
    return true;
}

void TMapHistory::Discard()
{
    open_ = TMapStep{};
    beforeSave_ = TMapStep{};
    depth_ = 0;
    broken_ = false;
    savedInStep_ = false;
}

void TMapHistory::Cancel()
{
    // Taken back to the state before the step: that is the saved state only
    // when nothing had changed by the save.
    if (savedInStep_)
        clean_ = !broken_ && beforeSave_.IsEmpty() ? static_cast<std::ptrdiff_t>(position_) : -1;
    Discard();
}

void TMapHistory::MarkClean(const TMapMarks& marks)
{
    if (depth_ == 0) {
        clean_ = static_cast<std::ptrdiff_t>(position_);
        return;
    }
    // No position holds the saved state until the step closes.
    clean_ = -1;
    const bool again = savedInStep_;
    savedInStep_ = true;
    if (broken_) return;
    open_.After = marks;
    try {
        if (again)
            Append(beforeSave_, open_);
        else
            beforeSave_ = std::move(open_);
    } catch (const std::bad_alloc&) {
        Fail();
        return;
    }
    const TStepKind kind = beforeSave_.Kind;
    open_ = TMapStep{};
    open_.Kind = kind;
    open_.Before = marks;
}

void TMapHistory::ForgetRouteIds()
{
    const auto forget = [](TJournal<TLinkedRail>& journal) {
        for (TElementEdit<TLinkedRail>& edit : journal.Edits) {
            edit.Before.Links.RouteId = 0;
            edit.After.Links.RouteId = 0;
            for (auto& removed : edit.Removed) removed.second.Links.RouteId = 0;
        }
    };
    for (TMapStep& step : steps_) forget(step.Rails);
    forget(open_.Rails);
    forget(beforeSave_.Rails);
}

void TMapHistory::Clear()
{
    beforeSave_ = TMapStep{};
    steps_.clear();
    steps_.shrink_to_fit();
    position_ = 0;
    clean_ = -1;
    if (depth_ > 0) {
        broken_ = true;
        open_.Rails.Edits.clear();
        open_.Borders.Edits.clear();
    }
}
