#pragma once
// One open map: its elements, start and finish rails, selection, the part of
// the world the main view shows, its file and whether it has unsaved changes.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/TEditLog.h"
#include "model/TLine.h"
#include "model/TMapIndex.h"
#include "model/TMapHistory.h"
#include "model/TRouteIndex.h"
#include "model/TViewTransform.h"

enum class TRouteFaultKind : std::uint8_t {
    ThirdSuccessor,   ///< a rail would get a third successor; Rail is that rail
    ThirdPredecessor, ///< a rail would get a third predecessor; Rail is the rail joined to
    NoSuccessor,      ///< a rail has no successor
    NoPredecessor,    ///< a rail has no predecessor
    NoStart,          ///< no valid start rail; Rail is -1
    NoFinish,         ///< no valid finish rail; Rail is -1
};

/// One end of an element: which array, the index in it, and End 1 (X1, Y1) or 2 (X2, Y2).
struct TElementEnd {
    bool IsRail = false;
    std::int32_t Index = -1;
    std::uint8_t End = 1;
    friend bool operator==(const TElementEnd&, const TElementEnd&) = default;
};

/// An element: which array and the index in it.
struct TElementRef {
    bool IsRail = false;
    std::int32_t Index = -1;
    friend bool operator==(const TElementRef&, const TElementRef&) = default;
};

struct TRouteFault {
    std::int32_t Rail = -1;
    TRouteFaultKind Kind = TRouteFaultKind::NoStart;
    friend bool operator==(const TRouteFault&, const TRouteFault&) = default;
};

/// Receives the route check's faults one at a time, in the order found.
using TRouteFaultSink = std::function<void(const TRouteFault&)>;

/// What a map keeps of its last route check's faults: a map built to be
/// slow can have a hundred million, so the list holds the first ones and the
/// count of all, with the few that the notice after the check names.
struct TRouteFaultList {
    /// The first faults in the order found, at most TMap::KeptRouteFaults.
    std::vector<TRouteFault> Listed;
    /// Every fault the check found, listed or not.
    std::int64_t Total = 0;
    /// The last fault naming a rail, whose rail the check reports; Rail is -1 when none did.
    TRouteFault Reported{-1, TRouteFaultKind::NoSuccessor};
    /// The faults of the whole map (no start, no finish), in the order found.
    std::vector<TRouteFault> WholeMap;
    /// The RouteId the check gave rail 0; rail k got FirstRailId + k.
    std::uint32_t FirstRailId = 0;

    /// The RouteId of the rail that index named at the check.
    std::uint32_t RailId(std::int32_t index) const { return FirstRailId + static_cast<std::uint32_t>(index); }
};

/// Whether Normalize removes the rail: an end outside the world, or shorter than 10.
bool DoomedRail(const TRail& rail);

/// The view origin that puts the line's midpoint at the centre of a view
/// showing extentX x extentY world units (division truncating toward zero).
TPoint CentredOrigin(const TLine& line, std::int32_t extentX, std::int32_t extentY);

/// The display name of the open map bound to the file at path (links and
/// other spellings of the file included), or nothing.
using TOpenMapOfFile = std::function<std::optional<std::string>(const std::string& path)>;

/// The name the list and the caption show for a map of file: its name
/// without folder and ".KS", or "Новый" for none.
std::string MapDisplayName(const std::string& file);

class TMap {
public:
    TMap();

    /// Full path of the map's file, extension included; empty when never loaded or saved.
    std::string FileName;
    /// The other open maps' files, which a save must not take: two maps bound
    /// to one file would each write over the other's work. The open-map list
    /// sets it, as a map cannot see the others; empty, no other map is open.
    TOpenMapOfFile OtherMapOfFile;
    /// The view the window shows this map in (View): the world point at its
    /// top-left pixel, its size in pixels and its scale. The window hands it
    /// over before it draws the map or asks it about a view point; the route
    /// check moves its origin.
    std::int32_t ViewX = 0;
    std::int32_t ViewY = 0;
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    TViewZoom Zoom;
    std::int32_t StartRail = -1;
    std::int32_t FinishRail = -1;
    std::int32_t SelRail = -1;
    std::int32_t SelBorder = -1;
    bool Modified = false;
    /// The elements in drawing and saving order; their sizes are the counts.
    /// Only the map's operations change them (EditsSince tells what they did).
    const std::vector<TBorder>& Borders() const { return borders_; }
    const std::vector<TRail>& Rails() const { return rails_; }

    /// The route links of rail index as the last route check left them (and
    /// edits since carried them); a default TRailLinks for a rail no check
    /// has seen or an index naming no rail.
    TRailLinks RailLinks(std::int32_t index) const
    {
        return index >= 0 && static_cast<std::size_t>(index) < links_.size() ? links_[static_cast<std::size_t>(index)]
                                                                             : TRailLinks{};
    }
    /// Writes rail index's links as given, as an edit (for tests and
    /// builders); an index naming no rail raises ERangeError.
    void SetRailLinks(std::int32_t index, const TRailLinks& links);
    /// Memory the route links hold: none until a route check runs.
    std::size_t RailLinksBytes() const { return links_.capacity() * sizeof(TRailLinks); }

    std::int32_t RailCount() const { return static_cast<std::int32_t>(rails_.size()); }
    std::int32_t BorderCount() const { return static_cast<std::int32_t>(borders_.size()); }
    /// Resizes Rails to exactly n (new slots hold zeroed rails); sets Modified when n differs.
    /// A negative n raises ERangeError.
    void SetRailCount(std::int32_t n);
    void SetBorderCount(std::int32_t n);

    // Writing elements as given, for what builds a map rather than edits it
    // (the loader, tests, benchmarks): the values are taken whole, flags,
    // links and odd coordinates included, and Modified is left to the caller.
    // Like every change they go into the open step; with none open they drop
    // the history.
    /// Appends the elements after the last one. Raises EOutOfMemory when the
    /// memory runs out and ERangeError when a count would pass INT32_MAX,
    /// changing nothing.
    void AppendRails(std::span<const TRail> rails);
    void AppendBorders(std::span<const TBorder> borders);
    /// Removes every rail (border) at once and returns them, for a load that
    /// read into another map: the marks of rails (selection) go to -1, and
    /// the history is dropped.
    std::vector<TRail> ReleaseRails();
    std::vector<TBorder> ReleaseBorders();
    /// Makes room for this many elements in all without changing any.
    void ReserveElements(std::int32_t borders, std::int32_t rails);
    /// An empty array with room for n rails (borders) and some to spare, for a
    /// builder that fills it and hands it to AdoptRails (AdoptBorders): the
    /// map's own storage when it holds none, so a reload reuses its memory.
    /// Raises EOutOfMemory when the memory runs out.
    std::vector<TRail> RailStorage(std::int32_t n);
    std::vector<TBorder> BorderStorage(std::int32_t n);
    /// AppendRails (AppendBorders) for a whole array: when the map holds none
    /// and no step records, the map takes the array itself instead of a copy.
    /// rails is left empty.
    void AdoptRails(std::vector<TRail>&& rails);
    void AdoptBorders(std::vector<TBorder>&& borders);
    /// Takes every element of from, which is left empty, into this map when it
    /// holds none (AdoptBorders, then AdoptRails); with them come from's grids
    /// and the finding that Normalize has nothing to remove, where those stood
    /// for from's elements as they are, so that neither is worked out again.
    void AdoptElementsOf(TMap& from);
    /// Builds the grids now where drawing and picking would (a large map), so
    /// that a map read on another thread arrives with them.
    void PrepareIndex() const;
    /// Writes element index's value; an index naming no element raises ERangeError.
    void SetRail(std::int32_t index, const TRail& rail);
    void SetBorder(std::int32_t index, const TBorder& border);
    bool IsModified() const { return Modified; }

    /// The view fields as one transform: what drawing, picking, snapping and
    /// the ends ask.
    TViewTransform View() const { return {ViewX, ViewY, ViewWidth, ViewHeight, Zoom}; }
    /// Takes the view fields from view.
    void SetView(const TViewTransform& view);
    /// The world width and height the view shows: ViewWidth and ViewHeight at scale 1.
    std::int32_t ViewExtentX() const { return View().ExtentX(); }
    std::int32_t ViewExtentY() const { return View().ExtentY(); }

    // Editing, picking and snapping. View coordinates are pixels of View();
    // picking and snapping reach TViewTransform::Reach pixels at every scale.
    void SelectAt(std::int32_t px, std::int32_t py);
    void AddRail(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2);
    void AddBorder(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2, TColor color,
                   std::uint8_t kind);
    /// Appends rails with the ends given (world units) and nothing else of
    /// theirs: no marks, no links; sets Modified when any was added.
    void LayRails(std::span<const TRail> rails);
    void DeleteRail(std::int32_t index);
    void DeleteBorder(std::int32_t index);
    void ReverseRail(std::int32_t index);
    void CycleBorderKind(std::int32_t index);
    void SetBorderColor(std::int32_t index, TColor color);
    TColor GetBorderColor(std::int32_t index) const;
    TPoint SnapPoint(std::int32_t px, std::int32_t py, std::uint8_t placing);
    TPoint SnapPointEx(std::int32_t px, std::int32_t py, std::uint8_t placing, bool& snapped);
    void SetStartRail(std::int32_t index);
    void SetFinishRail(std::int32_t index);
    void SelectBorder(std::int32_t index);
    void SelectRail(std::int32_t index);
    void Normalize();
    /// Deletes every border, then every rail, leaving the indexes and flags
    /// as DeleteBorder and DeleteRail from the last element down would (a
    /// mark beyond the array is lowered by the count), in one step whatever
    /// the count; the undo history starts afresh. The arrays keep their memory.
    void DeleteAll();

    // Selecting many elements. An element is selected when its Selected flag
    // is set; SelRail and SelBorder name the lowest selected rail and border,
    // so every operation on them acts on those. Selecting one element
    // (SelectRail, SelectBorder, SelectAt, drawing one) ends a selection of
    // many. Selecting is never an undo step; undo and redo leave selected
    // what SelRail and SelBorder named at that point.
    /// True while more may be selected than SelRail and SelBorder name.
    bool ManySelected() const { return many_; }
    /// What SelectAt would select at view point (px, py), changing nothing:
    /// the rail within reach, else the border; nothing when neither is.
    std::optional<TElementRef> PickAt(std::int32_t px, std::int32_t py) const;
    /// Whether the element is selected (false for an index naming none).
    bool IsSelected(const TElementRef& element) const;
    /// Selects every element with both ends inside the world rectangle with
    /// corners a and b, edges included; keeps what was selected when add.
    void SelectBand(TPoint a, TPoint b, bool add);
    /// Adds the element to the selection or takes it out.
    void ToggleSelected(const TElementRef& element);
    void SelectAll();
    /// Nothing selected.
    void ClearSelection();
    /// How many rails and borders are selected (a scan of every element).
    std::int32_t SelectedCount() const;
    /// The selected elements, in index order.
    std::vector<TRail> SelectedRails() const;
    std::vector<TBorder> SelectedBorders() const;
    /// The world box of the selected elements' ends; nothing when none is selected.
    std::optional<TWorldRect> SelectionBox() const;
    // What the buttons do to the selection. With no selection of many they
    // are DeleteRail, ReverseRail, CycleBorderKind and SetBorderColor on
    // SelRail and SelBorder; otherwise they act on every selected element.
    void DeleteSelected();
    void ReverseSelected();
    void RecolorSelected(TColor color);
    /// Moves every selected element by (dx, dy), less where that would take
    /// an end past the world's edge (the move stops there; a selection
    /// already beyond it is never moved further out). Answers the move made.
    TPoint MoveSelected(std::int32_t dx, std::int32_t dy);
    /// The world point an end of an unselected element within reach of view
    /// point (px, py) gives, or the point itself (snapped false).
    TPoint SnapUnselectedPoint(std::int32_t px, std::int32_t py, bool& snapped);
    /// Appends the elements after the existing ones and makes them the
    /// selection: no start or finish mark and no route links come with them.
    void AppendSelected(std::span<const TBorder> borders, std::span<const TRail> rails);

    // File commands (the map file).
    /// MapDisplayName(FileName).
    std::string DisplayName() const;
    /// The question about unsaved changes and the open dialog, then the read.
    void LoadFromFile();
    /// The first half of a load: the question about unsaved changes, then the
    /// open dialog when FileName is empty. True when FileName now names the
    /// file to read; false when the load stops here (nothing read).
    bool ChooseFileToLoad();
    /// The second half of a load: empties the map and reads FileName. A file
    /// that cannot be read, or that fails part-way, leaves the map without a
    /// file name and modified, holding the elements read completely, and
    /// raises EFileError naming the file. A read the user cancels
    /// (ELoadCancelled) leaves the map as it was.
    void ReadChosenFile();
    bool Save();
    void SaveAs();
    bool ConfirmClose();

    // Route check.
    /// Links the rails into a track graph and writes each rail's RouteId; true
    /// when no fault was found. faultRail is the last fault's rail or -1. Each
    /// fault goes to sink (when it is set) as soon as it is found, so a caller
    /// that passes them on needs no room for them; whatever sink raises stops
    /// the check and passes through, leaving the last check's list as it was.
    bool CheckRoutes(std::int32_t& faultRail, const TRouteFaultSink& sink);
    /// The same, appending every fault to faults (when given) in the order found.
    bool CheckRoutes(std::int32_t& faultRail, std::vector<TRouteFault>* faults = nullptr);
    /// The faults of this map's last route check; none before the first check
    /// and after a load. Editing keeps them, as it keeps the check's links, so
    /// a fault may name a rail that has moved to another index or no longer
    /// exists: RailWithRouteId finds it.
    const std::optional<TRouteFaultList>& LastRouteFaults() const { return lastFaults_; }
    /// How many faults of a check the map lists; the rest are only counted.
    /// Tests may change it.
    static inline std::size_t KeptRouteFaults = 100000;
    /// The index of the rail whose RouteId is id, or -1 when no rail has it
    /// (deleted since, or id 0).
    std::int32_t RailWithRouteId(std::uint32_t id) const;
    /// The largest RouteId a check hands out. Each check numbers the rails on
    /// from the last; one that would pass the limit starts again from 1, and
    /// first takes the ids off the rails its history keeps, so that an id
    /// handed out twice can never name two rails. Tests may change it.
    static inline std::uint32_t RouteIdLimit = 0xFFFFFFFFu;
    /// Changes whenever LastRouteFaults does (each check, each load): lets a
    /// list of the faults know it is stale without comparing them.
    std::uint64_t RouteFaultsRevision() const { return faultsRevision_; }
    bool LinkFirst(std::int32_t rail, std::int32_t successor);
    bool LinkSecond(std::int32_t rail, std::int32_t successor);

    // Undo history. A step is what one user action changes; the editor opens it
    // before the action and closes it after. Every change of the elements, the
    // start or the finish made while a step is open goes into it; one made with
    // no step open drops the history, which could no longer be replayed.
    /// Opens a step of the given kind, or nests in the step already open.
    void BeginStep(TStepKind kind);
    /// Closes one level; the outermost stores the step unless it changed
    /// nothing but the selection. Never throws.
    void EndStep() noexcept;
    /// Takes back everything the open step changed, selection and Modified
    /// included, and closes it without storing anything.
    void CancelStep();
    /// Gives back the elements, start, finish and selection as they were
    /// before the last applied step; Modified becomes false exactly at the
    /// clean point. False when there is nothing to undo or a step is open.
    bool Undo();
    /// Gives back the state after the next step that undo left.
    bool Redo();
    bool CanUndo() const { return history_.CanUndo(); }
    bool CanRedo() const { return history_.CanRedo(); }
    TStepKind UndoKind() const { return history_.StepToUndo().Kind; }
    TStepKind RedoKind() const { return history_.StepToRedo().Kind; }
    /// The map now matches its file: Modified becomes false and the history
    /// remembers this position as the clean one. Called by loading and saving.
    /// Inside a step (a save in the middle of a drag) the clean point is the
    /// state saved: when the step ends or is cancelled, Modified is true
    /// unless the map is then exactly as saved.
    void MarkClean();
    /// Starts the history afresh (a load, a close): no steps, no clean point.
    /// The edit journal starts afresh too, so its readers look at everything.
    void ClearHistory();
    const TMapHistory& History() const { return history_; }

    // Moving element ends. Points are in world coordinates.
    /// The element end nearest to (x, y), closer than Reach units; on equal
    /// distances the one that picking names first: rails before borders, a
    /// higher index before a lower, the second end before the first.
    std::optional<TElementEnd> EndNear(std::int32_t x, std::int32_t y) const;
    /// Every element end lying exactly at p: borders, then rails, in index order.
    std::vector<TElementEnd> EndsAt(TPoint p) const;
    /// Where an end lies; (0, 0) for an end of no element.
    TPoint EndPoint(const TElementEnd& end) const;
    /// Moves each end that names an element to p; sets Modified when one moved.
    void MoveEnds(const std::vector<TElementEnd>& ends, TPoint p);
    /// SnapPointEx with nothing being placed for a point that drags the ends
    /// of moving along: an end of moving is never taken. View coordinates.
    TPoint SnapMovingPoint(std::int32_t px, std::int32_t py, const std::vector<TElementEnd>& moving, bool& snapped);
    /// Where the last SnapPointEx or SnapMovingPoint put the point, in world
    /// coordinates: the end snapped to, or the world point under the view
    /// point, brought into 32 bits by View().Narrow.
    TPoint SnappedWorldPoint() const { return View().Narrow(snappedWorld_); }
    /// The world point (x, y) snapped as SnapPoint snaps its pixel: the end
    /// taken, or else the point itself. Ends of the element being placed count.
    TPoint SnapWorldPoint(std::int32_t x, std::int32_t y);
    /// EndNear for the view point (px, py): closer than Reach pixels at the view's scale.
    std::optional<TElementEnd> EndNearView(std::int32_t px, std::int32_t py) const;

    /// Grows whenever anything that the drawing shows changes (elements, their
    /// ends, selection, start, finish); lets a cached picture know it is stale.
    std::uint64_t Revision() const { return edits_.Revision(); }
    /// Identifies this map object for the lifetime of the program. A copy is
    /// another map and gets its own id.
    std::uint64_t Id() const { return id_.Value; }
    /// Changes with everything that Revision changes with, except the moves of
    /// the second end of the last border or rail that drawing out makes.
    std::uint64_t Layout() const { return layout_.Value; }
    /// The journal of the element arrays: visits, oldest first, every change
    /// made to them since the map stood at revision (a Revision() the reader
    /// kept), each naming the indices of its moment, so that replaying them
    /// in order carries the reader's indices along. Every operation appears
    /// in it: drawing and its moving end, selecting, undo, redo, cancel,
    /// Normalize, the route check's links. False, having visited nothing,
    /// when it no longer reaches back that far: too much changed since, the
    /// map was loaded or closed (ClearHistory) or another map's contents were
    /// assigned to it; the reader then looks at everything.
    template <class Visit>
    bool EditsSince(std::uint64_t revision, Visit&& visit) const
    {
        return edits_.Since(revision, std::forward<Visit>(visit));
    }

    /// Maps of at least this many elements answer drawing, picking and
    /// snapping from a grid of their elements instead of visiting them all;
    /// the answers are the same. Tests and benchmarks may change it.
    static inline std::int32_t IndexFrom = 20000;
    /// Maps of at least this many elements build their grids on two threads
    /// (below it a second thread costs more than it saves). Tests may change it.
    static inline std::int32_t ParallelIndexFrom = 200000;
    /// True when the grid answers for drawing the view: a large map, and a
    /// view inside the ranges where skipping the far elements cannot skip an
    /// overflow error either (called with the view point (0, 0)).
    bool UsesIndexAt(std::int32_t px, std::int32_t py) const;
    /// The same for picking and snapping at view point (px, py), at every
    /// scale: they ask the grid only about the point, and with the origin and
    /// the point in these ranges no element inside the grid's coordinate range
    /// can make their arithmetic overflow, whatever the view's size.
    bool UsesIndexNear(std::int32_t px, std::int32_t py) const;
    /// The indexes, ascending, of the borders (rails) that may reach the world
    /// rectangle [x1, x2] x [y1, y2] (x1 <= x2, y1 <= y2): every one that does
    /// is among them. Served by the grid, rebuilt when the layout changed.
    void BordersNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                     std::vector<std::int32_t>& out) const;
    void RailsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                   std::vector<std::int32_t>& out) const;
    /// The same for the elements with an end in the rectangle (snapping).
    void BorderEndsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                        std::vector<std::int32_t>& out) const;
    void RailEndsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                      std::vector<std::int32_t>& out) const;
    /// The grids, brought up to date (for benchmarks).
    const TMapIndex& Index() const;

private:
    /// Never shared between two map objects: copying or moving makes a new one,
    /// assigning keeps the target's, so (Id, Revision) never names two contents.
    struct TIdentity {
        std::uint64_t Value;
        TIdentity() noexcept;
        TIdentity(const TIdentity&) noexcept : TIdentity() {}
        TIdentity& operator=(const TIdentity&) noexcept { return *this; }
    };
    /// Assigning another map's contents counts as a change of this map.
    struct TLayout {
        std::uint64_t Value = 0;
        TLayout() = default;
        TLayout(const TLayout&) = default;
        TLayout& operator=(const TLayout& other) noexcept
        {
            Value = (Value > other.Value ? Value : other.Value) + 1;
            return *this;
        }
    };

    std::vector<TBorder> borders_;
    std::vector<TRail> rails_;
    /// The route links of rails_, index for index, or empty while every rail
    /// holds the default ones: only the route check (and undo bringing back
    /// what it wrote) fills it, so a loaded map costs no memory for them.
    std::vector<TRailLinks> links_;
    /// Gives every rail its links slot (the default values) when none has one.
    void AllocateLinks();
    /// The element with what the history keeps of it (a rail's links).
    template <class T>
    TRecordOf<T> RecordAt(const std::vector<T>& items, std::size_t index) const;

    // The few primitives through which every change of the element arrays
    // goes, so that the history and the edit journal see each one.
    /// The elements of one kind that one operation changed: a hundred
    /// thousand flags or moves are one journal entry, not a hundred thousand.
    struct TNoteBatch {
        std::int32_t First = INT32_MAX;
        std::int32_t Last = -1;
        TEditArea Area;
        void Take(std::int32_t index, const TEditArea& area)
        {
            First = index < First ? index : First;
            Last = index > Last ? index : Last;
            Area.Take(area);
        }
    };
    /// With batch given, the journal hears of the write through NoteBatch.
    /// Writes the element's own fields; a rail keeps its links.
    template <class T>
    void PutElement(std::vector<T>& items, std::int32_t index, const T& value, TNoteBatch* batch = nullptr);
    /// Writes the element with its links.
    template <class T>
    void PutRecord(std::vector<T>& items, std::int32_t index, const TRecordOf<T>& value, TNoteBatch* batch = nullptr);
    template <class T>
    void InsertElement(std::vector<T>& items, std::int32_t index, const TRecordOf<T>& value);
    template <class T>
    void EraseElement(std::vector<T>& items, std::int32_t index);
    /// Removes the listed elements (ascending indices) in one pass.
    template <class T>
    void EraseListed(std::vector<T>& items, const std::vector<std::pair<std::int32_t, TRecordOf<T>>>& listed);
    /// Puts removed elements back where they were, in one pass.
    template <class T>
    void ReinsertListed(std::vector<T>& items, const std::vector<std::pair<std::int32_t, TRecordOf<T>>>& listed);
    template <class T>
    void ResizeElements(std::vector<T>& items, std::int32_t n);
    template <class T>
    void AppendElements(std::vector<T>& items, std::span<const T> values);
    template <class T>
    void AdoptElements(std::vector<T>& items, std::vector<T>&& values);
    template <class T>
    std::vector<T> StorageFor(std::vector<T>& items, std::int32_t n);
    template <class T>
    std::vector<T> ReleaseElements(std::vector<T>& items);
    /// DeleteAll's work on one array, keeping its memory.
    template <class T>
    void ClearElements(std::vector<T>& items);
    /// Sets or clears element index's Selected flag, when index names one:
    /// the journal sees it (at once, or through NoteBatch when batch is
    /// given), the history does not.
    template <class T>
    void FlagSelected(std::vector<T>& items, std::int32_t index, bool selected, TNoteBatch* batch = nullptr);
    /// Notes the elements of batch as one entry of kind, when it holds any.
    template <class T>
    void NoteBatch(TEditKind kind, const TNoteBatch& batch)
    {
        if (batch.Last >= batch.First) NoteEdit<T>(kind, batch.First, batch.Last - batch.First + 1, batch.Area);
    }
    /// Set while elements beyond SelRail and SelBorder may be selected.
    bool many_ = false;
    /// Ends a selection of many: every flag off but those of SelRail and SelBorder.
    void EndManySelected();
    /// With a selection of many, a mark that lost its element names the lowest selected one again.
    void FollowSelectionMarks(bool railMarkLost, bool borderMarkLost);
    template <class T>
    void SelectWhere(std::vector<T>& items, std::int32_t& mark, const std::function<bool(const T&)>& selected);
    /// Moves the elements of items at the indices given.
    template <class T>
    void ShiftSelected(std::vector<T>& items, const std::vector<std::int32_t>& selected, std::int32_t dx,
                       std::int32_t dy);
    /// The selected elements and their box as the last move left them, valid
    /// while the map stands at Revision: the ticks of a drag need not look
    /// through every element again.
    struct TMovedSelection {
        std::uint64_t Revision = 0;
        std::size_t RailCount = 0, BorderCount = 0;
        std::vector<std::int32_t> Rails, Borders;
        TWorldRect Box{};
    };
    std::optional<TMovedSelection> moved_;
    /// Moves a selection mark and its flag to index.
    template <class T>
    void MoveSelection(std::vector<T>& items, std::int32_t& mark, std::int32_t index);
    /// Tells the edit journal of a change of Count elements of T from First,
    /// which lay in area before and after it.
    template <class T>
    void NoteEdit(TEditKind kind, std::int32_t first, std::int32_t count, const TEditArea& area)
    {
        edits_.Note(kind, std::is_same_v<T, TRail>, first, count, unseenAreas_ ? TEditArea() : area);
    }
    /// Tells the edit journal of removals given as ascending runs (first, count):
    /// from the last, so that each run's indices hold when it is met. area
    /// holds every removed element.
    template <class T>
    void NoteRemovedRuns(const std::vector<std::pair<std::int32_t, std::int32_t>>& runs, const TEditArea& area);
    /// The same for listed elements (ascending indices) as runs: added from
    /// the first, removed from the last.
    template <class T, class R>
    void NoteListed(TEditKind kind, const std::vector<std::pair<std::int32_t, R>>& listed);
    /// The one add operation behind AddRail and AddBorder: a new last element
    /// whose first end is (x, y) snapped, taking the rest of its fields from element.
    template <class T>
    void AddElement(std::vector<T>& items, std::int32_t x, std::int32_t y, T element);
    template <class T>
    void SetCount(std::vector<T>& items, std::int32_t n);
    /// Removes the elements for which doomed holds; fixes the indices as
    /// deleting them one at a time would. True when any went.
    template <class T, class Pred, std::size_t N>
    bool EraseWhere(std::vector<T>& items, Pred doomed, std::int32_t* const (&indices)[N]);
    /// Moves the start or finish flag of the rails with its mark.
    void MoveRailMark(std::int32_t& mark, std::int32_t index, bool TRail::*flag);
    template <class T>
    TJournal<TRecordOf<T>>& JournalOf(std::vector<T>& items);
    /// A change is about to be made: with no step open it drops the history.
    void NoteUnrecorded();
    /// Marks a drawing-visible change: a new revision and layout.
    void Touch()
    {
        edits_.Advance();
        ++layout_.Value;
    }
    TMapMarks Marks() const { return {StartRail, FinishRail, SelRail, SelBorder}; }
    /// Sets the marks and the flags that the selection marks carry.
    void RestoreMarks(const TMapMarks& marks);
    void ApplyStep(const TMapStep& step, bool backwards);
    template <class T>
    void Revert(std::vector<T>& items, const TJournal<TRecordOf<T>>& journal);
    template <class T>
    void Replay(std::vector<T>& items, const TJournal<TRecordOf<T>>& journal);
    /// The value that undo or redo puts over element index in place.
    template <class T>
    TRecordOf<T> Replacing(const std::vector<T>& items, std::int32_t index, TRecordOf<T> value) const;

    TMapHistory history_;
    /// Set while a step is applied: its changes are neither recorded nor unrecorded.
    bool applying_ = false;
    /// The revision at which Normalize last left nothing to remove.
    std::optional<std::uint64_t> tidyRevision_;
    /// No element added or changed since revision would be removed by
    /// Normalize (false also when the journal cannot tell).
    bool NothingToTidySince(std::uint64_t revision) const;
    /// Set while an element is added and its values not yet written: the
    /// journal's entries then give no area (AddElement gives the final one).
    bool unseenAreas_ = false;
    /// Modified when the open step began, for CancelStep.
    bool stepWasModified_ = false;
    /// A move of the last element's second end: the grids leave that element out.
    void TouchLast() { edits_.Advance(); }

    std::optional<TRouteFaultList> lastFaults_;
    std::uint64_t faultsRevision_ = 0;
    /// The RouteId the next check gives its rail 0.
    std::uint32_t nextRailId_ = 1;
    /// The route check's index, kept between checks for its memory.
    TRouteIndex routeIndex_;
    /// The revision and the journal of the edits that advanced it.
    TEditLog edits_;
    TLayout layout_;
    TIdentity id_;
    mutable TMapIndex index_;
    /// Where the last snap put the point, in world coordinates (64 bits:
    /// the world point under a view point may lie beyond 32).
    TWidePoint snappedWorld_;
    /// What one snap search looks at: the first Borders borders and Rails
    /// rails (the element being placed is left out), only those the grid names
    /// near the point when Grid, and never an end that Moving lists.
    struct TSnapOptions {
        std::size_t Borders = 0;
        std::size_t Rails = 0;
        bool Grid = false;
        const std::vector<TElementEnd>* Moving = nullptr;
        /// Ends of selected elements are never taken.
        bool SkipSelected = false;
    };
    /// The snap search behind SnapPointEx and SnapMovingPoint: the last end in
    /// visiting order (borders, then rails, in index order, each element's
    /// first end before its second) within reach of view point (px, py);
    /// sets snappedWorld_ and returns the view point it snapped to.
    TPoint SnapSearch(std::int32_t px, std::int32_t py, const TSnapOptions& options, bool& snapped);
};

/// Keeps a step of the map's history open for its own lifetime.
class TEditStep {
public:
    TEditStep(TMap& map, TStepKind kind) : map_(map) { map_.BeginStep(kind); }
    ~TEditStep() { map_.EndStep(); }
    TEditStep(const TEditStep&) = delete;
    TEditStep& operator=(const TEditStep&) = delete;

private:
    TMap& map_;
};
