#pragma once
// What the tool finds out about one map file, gathered with the editor's own
// loader and route check so that its answers are the editor's.
#include <cstdint>
#include <string>
#include <vector>

#include "model/MapFile.h"
#include "model/TMap.h"

/// Loads the file at path into map (which should be new) the way the editor
/// reads it, but a file that cannot be opened is an error here rather than a
/// new map: raises EFileError naming the file and the reason, or the error of
/// the damage for a damaged file.
TMapFileStats LoadMapForReport(TMap& map, const std::string& path);

/// The counts and extent of a map, as stored and as kept after loading.
struct TMapInfo {
    std::string File;
    TMapFileStats Stats;
    std::int32_t Borders = 0;
    std::int32_t Rails = 0;
    std::int32_t Start = -1;
    std::int32_t Finish = -1;
    std::int32_t MinX = 0;
    std::int32_t MinY = 0;
    std::int32_t MaxX = 0;
    std::int32_t MaxY = 0;
};

/// The route check of a map file. Its faults can outnumber the rails many
/// times over (a hundred million for twenty thousand rails), while reports
/// name the verdict and the count before the list: a check that finds no
/// more than HeldFaults keeps them, and one that finds more is run again
/// when its faults are wanted, finding the same faults in the same order.
struct TMapCheck {
    std::string File;
    /// The map as loaded and checked: its rails carry the links the check wrote.
    TMap Map;
    bool Valid = false;
    /// The rail the editor would select after the check, or -1.
    std::int32_t FaultRail = -1;
    std::int64_t FaultCount = 0;
    /// Every fault in the order found, when there were no more than HeldFaults.
    std::vector<TRouteFault> Faults;
};

/// How many faults a check keeps in memory. Tests may change it.
inline std::size_t HeldFaults = std::size_t{1} << 16;

TMapInfo ReadMapInfo(const std::string& path);
TMapCheck CheckMapFile(const std::string& path);
/// Hands every fault of the check to visit in the order found: the ones kept,
/// or those of a second check of the same map when there were too many to keep.
void ForEachFault(TMapCheck& check, const TRouteFaultSink& visit);

/// The stable token of a fault kind in machine-readable output ("no_successor"...).
const char* FaultKindToken(TRouteFaultKind kind);
/// The fault kind in words for people ("no successor"...).
const char* FaultKindText(TRouteFaultKind kind);
