#include "tools/MapReport.h"

#include <utility>

#include "draw/Overview.h"
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
    info.MinX = MinX(map);
    info.MinY = MinY(map);
    info.MaxX = MaxX(map);
    info.MaxY = MaxY(map);
    return info;
}

TMapCheck CheckMapFile(const std::string& path)
{
    TMap map;
    TMapCheck check;
    check.File = path;
    LoadMapForReport(map, path);
    check.Valid = map.CheckRoutes(check.FaultRail, &check.Faults);
    check.Start = map.StartRail;
    check.Finish = map.FinishRail;
    check.Rails = std::move(map.Rails);
    return check;
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
