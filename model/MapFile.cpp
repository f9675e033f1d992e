#include "model/MapFile.h"


#include "model/Errors.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"

std::string ForceExtension(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = path.find('.', nameStart);
    return path.substr(0, dot) + ".KS";
}

bool MapFileExists(const std::string& path) { return FileExistsAt(path); }

std::string MatchExistingCase(const std::string& path)
{
    const std::size_t length = path.size();
    const bool mapExtension = length >= 3 && path[length - 3] == '.' && (path[length - 2] | 0x20) == 'k' &&
                              (path[length - 1] | 0x20) == 's';
    if (!mapExtension || FileExistsAt(path)) return path;
    const std::string stem = path.substr(0, length - 2);
    for (const char* extension : {"ks", "Ks", "kS", "KS"}) {
        const std::string variant = stem + extension;
        if (variant != path && FileExistsAt(variant)) return variant;
    }
    return path;
}

void DeleteAllElements(TMap& map)
{
    // Deleting from the end leaves every index exactly where deleting index 0
    // again and again would leave it (each valid one -1, each one beyond the
    // array lowered by the count), without moving the array at every step.
    map.ClearHistory();
    while (map.BorderCount() > 0) map.DeleteBorder(map.BorderCount() - 1);
    while (map.RailCount() > 0) map.DeleteRail(map.RailCount() - 1);
}

TMapFileStats ReadMapFile(TMap& map, const std::string& path)
{
    DeleteAllElements(map);
    TMapReader in(path);
    TMapFileStats stats;
    stats.SizeBytes = in.Size();
    try {
        ReadMapBody(map, in);
    } catch (...) {
        map.Touch();
        throw;
    }
    stats.BordersStored = map.BorderCount();
    stats.RailsStored = map.RailCount();
    map.Normalize();
    in.Close();
    map.Touch();
    map.MarkClean();
    return stats;
}

void WriteMapFile(const TMap& map, const std::string& path)
{
    WriteWholeFile(path, [&map](TByteSink& sink) {
        TMapWriter out(sink);
        WriteMapBody(map, out);
    });
}
