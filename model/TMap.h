#pragma once
// One open map: its elements, start and finish rails, selection, the part of
// the world the main view shows, its file and whether it has unsaved changes.
#include <cstdint>
#include <string>
#include <vector>

#include "model/TLine.h"

/// A point in view (or world) coordinates.
struct TPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

enum class TRouteFaultKind : std::uint8_t {
    ThirdSuccessor,   ///< a rail would get a third successor; Rail is that rail
    ThirdPredecessor, ///< a rail would get a third predecessor; Rail is the rail joined to
    NoSuccessor,      ///< a rail has no successor
    NoPredecessor,    ///< a rail has no predecessor
    NoStart,          ///< no valid start rail; Rail is -1
    NoFinish,         ///< no valid finish rail; Rail is -1
};

struct TRouteFault {
    std::int32_t Rail = -1;
    TRouteFaultKind Kind = TRouteFaultKind::NoStart;
    friend bool operator==(const TRouteFault&, const TRouteFault&) = default;
};

class TMap {
public:
    TMap();

    /// Full path of the map's file, extension included; empty when never loaded or saved.
    std::string FileName;
    std::int32_t ViewX = 0;
    std::int32_t ViewY = 0;
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    std::int32_t StartRail = -1;
    std::int32_t FinishRail = -1;
    std::int32_t SelRail = -1;
    std::int32_t SelBorder = -1;
    bool Modified = false;
    /// The elements in drawing and saving order; their sizes are the counts.
    std::vector<TBorder> Borders;
    std::vector<TRail> Rails;

    std::int32_t RailCount() const { return static_cast<std::int32_t>(Rails.size()); }
    std::int32_t BorderCount() const { return static_cast<std::int32_t>(Borders.size()); }
    /// Resizes Rails to exactly n (new slots hold zeroed rails); sets Modified when n differs.
    /// A negative n raises ERangeError.
    void SetRailCount(std::int32_t n);
    void SetBorderCount(std::int32_t n);
    bool IsModified() const { return Modified; }

    // Editing, picking and snapping. View coordinates are relative to (ViewX, ViewY).
    void SelectAt(std::int32_t px, std::int32_t py);
    void AddRail(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2);
    void AddBorder(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2, TColor color,
                   std::uint8_t kind);
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

    // File commands (the map file).
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
    /// raises EFileError naming the file.
    void ReadChosenFile();
    bool Save();
    void SaveAs();
    bool ConfirmClose();

    // Route check.
    /// Links the rails into a track graph; true when no fault was found. faultRail
    /// is the last fault's rail or -1; when faults is given, every fault is
    /// appended in the order found.
    bool CheckRoutes(std::int32_t& faultRail, std::vector<TRouteFault>* faults = nullptr);
    bool LinkFirst(std::int32_t rail, std::int32_t successor);
    bool LinkSecond(std::int32_t rail, std::int32_t successor);

    /// Grows whenever anything that the drawing shows changes (elements, their
    /// ends, selection, start, finish); lets a cached picture know it is stale.
    std::uint64_t Revision() const { return revision_.Value; }
    /// Identifies this map object for the lifetime of the program. A copy is
    /// another map and gets its own id.
    std::uint64_t Id() const { return id_.Value; }
    /// Marks a drawing-visible change made outside the operations above.
    void Touch() { ++revision_.Value; }

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
    struct TRevision {
        std::uint64_t Value = 0;
        TRevision() = default;
        TRevision(const TRevision&) = default;
        TRevision& operator=(const TRevision& other) noexcept
        {
            Value = (Value > other.Value ? Value : other.Value) + 1;
            return *this;
        }
    };

    TRevision revision_;
    TIdentity id_;
};
