#include "tools/MapReport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "draw/Overview.h"
#include "model/Errors.h"

namespace {

std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

/// The system's reason why the file cannot be read, or empty when it can.
/// The editor's loader quietly starts a new map for a missing file; a tool
/// asked about a file must say that it is not there instead.
std::string WhyUnreadable(const std::string& path)
{
    const std::filesystem::path file = PathOf(path);
    std::error_code code;
    const auto status = std::filesystem::status(file, code);
    if (code) return code.message();
    if (std::filesystem::is_directory(status))
        return std::make_error_code(std::errc::is_a_directory).message();
    errno = 0;
    std::ifstream probe(file, std::ios::binary);
    if (!probe) {
        const int error = errno;
        return error ? std::strerror(error) : std::string("cannot be opened");
    }
    return {};
}

} // namespace

TMapFileStats LoadMapForReport(TMap& map, const std::string& path)
{
    if (const std::string reason = WhyUnreadable(path); !reason.empty()) throw EFileError(reason);
    try {
        return ReadMapFile(map, path);
    } catch (const EFileError& error) {
        // The loader names the file itself; the caller does that here.
        const std::string message = error.what();
        const std::string prefix = path + ": ";
        if (message.rfind(prefix, 0) == 0) throw EFileError(message.substr(prefix.size()));
        throw;
    }
}

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
    check.Rails = map.Rails;
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
