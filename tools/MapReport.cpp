#include "tools/MapReport.h"

#include <stdexcept>
#include <utility>

#include "draw/OverviewScale.h"
#include "model/Errors.h"

TMapFileStats LoadMapForReport(TMap& map, const std::string& path) { return ReadMapFile(map, path); }

TMapInfo ReadMapInfo(const std::string& path)
{
    TMap map;
    TMapInfo info;
    info.File = path;
    info.Stats = LoadMapForReport(map, path);
    info.Borders = map.BorderCount();
    info.Rails = map.RailCount();
    info.Start = map.StartRail;
    info.Finish = map.FinishRail;
    const TOverviewBounds bounds = OverviewBounds(map);
    info.MinX = bounds.MinX;
    info.MinY = bounds.MinY;
    info.MaxX = bounds.MaxX;
    info.MaxY = bounds.MaxY;
    return info;
}

TMapCheck CheckMapFile(const std::string& path)
{
    TMapCheck check;
    check.File = path;
    LoadMapForReport(check.Map, path);
    check.Valid = check.Map.CheckRoutes(check.FaultRail, [&check](const TRouteFault& fault) {
        if (check.FaultCount++ < static_cast<std::int64_t>(HeldFaults)) check.Faults.push_back(fault);
    });
    if (check.FaultCount > static_cast<std::int64_t>(check.Faults.size())) std::vector<TRouteFault>().swap(check.Faults);
    return check;
}

void ForEachFault(TMapCheck& check, const TRouteFaultSink& visit)
{
    if (check.FaultCount == static_cast<std::int64_t>(check.Faults.size())) {
        for (const TRouteFault& fault : check.Faults) visit(fault);
        return;
    }
    // The check is deterministic and the map was cleaned up by the first one,
    // so the second finds exactly the faults the first counted.
    std::int64_t count = 0;
    std::int32_t faultRail = -1;
    check.Map.CheckRoutes(faultRail, [&](const TRouteFault& fault) {
        ++count;
        visit(fault);
    });
    if (count != check.FaultCount || faultRail != check.FaultRail)
        throw std::logic_error("the second route check found other faults");
}

const char* FaultKindToken(TRouteFaultKind kind)
{
    switch (kind) {
    case TRouteFaultKind::ThirdSuccessor: return "third_successor";
    case TRouteFaultKind::ThirdPredecessor: return "third_predecessor";
    case TRouteFaultKind::NoSuccessor: return "no_successor";
    case TRouteFaultKind::NoPredecessor: return "no_predecessor";
    case TRouteFaultKind::NoStart: return "no_start";
    case TRouteFaultKind::NoFinish: return "no_finish";
    }
    return "unknown";
}

const char* FaultKindText(TRouteFaultKind kind)
{
    switch (kind) {
    case TRouteFaultKind::ThirdSuccessor: return "a third successor";
    case TRouteFaultKind::ThirdPredecessor: return "a third predecessor";
    case TRouteFaultKind::NoSuccessor: return "no successor";
    case TRouteFaultKind::NoPredecessor: return "no predecessor";
    case TRouteFaultKind::NoStart: return "no start rail";
    case TRouteFaultKind::NoFinish: return "no finish rail";
    }
    return "unknown fault";
}
