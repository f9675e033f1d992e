// Steps of the undo history: opening and closing them, and applying one
// backwards (undo, cancel) or forwards (redo) through the map's primitives.
#include <type_traits>

#include "model/Errors.h"
#include "model/TMap.h"

/// The same rail, so it keeps the id the last route check gave it, which
/// the value recorded before that check does not carry. It keeps its
/// selection flag too: a selection of many outlives undo.
template <class T>
TRecordOf<T> TMap::Replacing(const std::vector<T>& items, std::int32_t index, TRecordOf<T> value) const
{
    if (index >= 0 && static_cast<std::size_t>(index) < items.size()) {
        if constexpr (std::is_same_v<T, TRail>) value.Links.RouteId = RailLinks(index).RouteId;
        value.Selected = items[static_cast<std::size_t>(index)].Selected;
    }
    return value;
}

void TMap::BeginStep(TStepKind kind)
{
    if (!history_.Begin(kind)) return;
    history_.OpenStep().Before = Marks();
    stepWasModified_ = Modified;
}

void TMap::EndStep() noexcept
{
    if (!history_.End()) return;
    history_.OpenStep().After = Marks();
    const bool saved = history_.SavedInStep();
    history_.Commit();
    // Saved during the step: what changed after the save is unsaved work.
    if (saved) Modified = !history_.IsClean();
}

void TMap::CancelStep()
{
    if (!history_.IsOpen()) return;
    const bool saved = history_.SavedInStep();
    if (history_.IsRecording()) {
        ApplyStep(history_.OpenStep(), true);
        if (saved) ApplyStep(history_.StepBeforeSave(), true);
        Modified = stepWasModified_;
    }
    history_.Cancel();
    // The file keeps what was saved during the step, which is now taken back.
    if (saved) Modified = !history_.IsClean();
    Touch();
}

bool TMap::Undo()
{
    if (!history_.CanUndo()) return false;
    ApplyStep(history_.StepToUndo(), true);
    history_.MovedBack();
    Modified = !history_.IsClean();
    Touch();
    return true;
}

bool TMap::Redo()
{
    if (!history_.CanRedo()) return false;
    ApplyStep(history_.StepToRedo(), false);
    history_.MovedForward();
    Modified = !history_.IsClean();
    Touch();
    return true;
}

void TMap::MarkClean()
{
    Modified = false;
    history_.MarkClean(Marks());
}

void TMap::ClearHistory()
{
    history_.Clear();
    edits_.Restart();
}

void TMap::RestoreMarks(const TMapMarks& marks)
{
    StartRail = marks.StartRail;
    FinishRail = marks.FinishRail;
    SelRail = marks.SelRail;
    SelBorder = marks.SelBorder;
    FlagSelected(rails_, SelRail, true);
    FlagSelected(borders_, SelBorder, true);
}

template <class T>
void TMap::Revert(std::vector<T>& items, const TJournal<TRecordOf<T>>& journal)
{
    using TKind = typename TElementEdit<TRecordOf<T>>::TKind;
    // The writes between two shifts of the indices are one journal entry:
    // taking back a drag of many elements notes one, not one per element.
    TNoteBatch writes;
    const auto flush = [&] {
        NoteBatch<T>(TEditKind::Changed, writes);
        writes = TNoteBatch();
    };
    try {
        for (auto edit = journal.Edits.rbegin(); edit != journal.Edits.rend(); ++edit) {
            if (edit->Kind != TKind::Put) flush();
            switch (edit->Kind) {
            case TKind::Put:
                PutRecord(items, edit->Index, Replacing(items, edit->Index, edit->Before), &writes);
                break;
            case TKind::Insert: EraseElement(items, edit->Index); break;
            case TKind::Erase: ReinsertListed(items, edit->Removed); break;
            }
        }
    } catch (...) {
        flush();
        throw;
    }
    flush();
}

template <class T>
void TMap::Replay(std::vector<T>& items, const TJournal<TRecordOf<T>>& journal)
{
    using TKind = typename TElementEdit<TRecordOf<T>>::TKind;
    TNoteBatch writes;
    const auto flush = [&] {
        NoteBatch<T>(TEditKind::Changed, writes);
        writes = TNoteBatch();
    };
    try {
        for (const auto& edit : journal.Edits) {
            if (edit.Kind != TKind::Put) flush();
            switch (edit.Kind) {
            case TKind::Put:
                PutRecord(items, edit.Index, Replacing(items, edit.Index, edit.After), &writes);
                break;
            case TKind::Insert: InsertElement(items, edit.Index, edit.After); break;
            case TKind::Erase: EraseListed(items, edit.Removed); break;
            }
        }
    } catch (...) {
        flush();
        throw;
    }
    flush();
}

void TMap::ApplyStep(const TMapStep& step, bool backwards)
{
    // The journal keeps elements unselected; the selection flags come off
    // the elements now selected and go onto those the step's marks name.
    // A selection of many stays on the elements that remain, its marks
    // naming the lowest of them again.
    applying_ = true;
    try {
        FlagSelected(rails_, many_ ? -1 : SelRail, false);
        FlagSelected(borders_, many_ ? -1 : SelBorder, false);
        if (backwards) {
            Revert(rails_, step.Rails);
            Revert(borders_, step.Borders);
        } else {
            Replay(rails_, step.Rails);
            Replay(borders_, step.Borders);
        }
        const TMapMarks& marks = backwards ? step.Before : step.After;
        if (many_) {
            StartRail = marks.StartRail;
            FinishRail = marks.FinishRail;
            SelRail = -1;
            SelBorder = -1;
            FollowSelectionMarks(true, true);
        } else {
            RestoreMarks(marks);
        }
    } catch (...) {
        applying_ = false;
        history_.Clear();
        Touch();
        throw;
    }
    applying_ = false;
}
