#include "model/MapFile.h"

#include <utility>

#include "model/Errors.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; }

bool SameLettersIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

} // namespace

std::size_t ExtensionStart(const std::string& path, std::string_view extension)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t named = path.find_first_not_of('.', nameStart);
    // ".KS" is what forcing makes of an empty name: reading it as a name
    // would make forcing it again add a second extension.
    if (named == std::string::npos || SameLettersIgnoringCase(std::string_view(path).substr(nameStart), extension))
        return path.find('.', nameStart) == std::string::npos ? path.size() : nameStart;
    const std::size_t dot = path.find('.', named);
    return dot == std::string::npos ? path.size() : dot;
}

std::string ForceExtension(const std::string& path) { return path.substr(0, ExtensionStart(path, ".KS")) + ".KS"; }

std::string ChosenMapFile(const std::string& chosen)
{
    const std::string forced = ForceExtension(chosen);
    const std::size_t stem = forced.size() - 2;
    if (chosen.size() == forced.size() && chosen.compare(0, stem, forced, 0, stem) == 0 &&
        SameLettersIgnoringCase(std::string_view(chosen).substr(stem), "ks") && FileExistsAt(chosen))
        return chosen;
    return MatchExistingCase(forced);
}

std::string AlreadyOpenText(const std::string& displayName) { return "Карта уже открыта: " + displayName; }

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
    map.DeleteAll();
}

TMapFileStats ReadMapFile(TMap& map, const std::string& path)
{
    static const std::atomic<bool> never{false};
    return ReadMapFile(map, path, never);
}

TMapFileStats ReadMapFile(TMap& map, const std::string& path, const std::atomic<bool>& stop)
{
    DeleteAllElements(map);
    TMapReader in(path);
    in.SetStop(&stop);
    TMapFileStats stats;
    stats.SizeBytes = in.Size();
    ReadMapBody(map, in);
    stats.BordersStored = map.BorderCount();
    stats.RailsStored = map.RailCount();
    map.Normalize();
    in.Close();
    map.MarkClean();
    return stats;
}

namespace {

TMapFileReader& LoadReader()
{
    static TMapFileReader reader;
    return reader;
}

} // namespace

TMapFileReader SetMapFileReader(TMapFileReader reader) { return std::exchange(LoadReader(), std::move(reader)); }

TMapFileStats ReadMapFileAsLoads(TMap& map, const std::string& path)
{
    const TMapFileReader& reader = LoadReader();
    return reader ? reader(map, path) : ReadMapFile(map, path);
}

void TakeLoadedMap(TMap& map, TMap& from)
{
    const std::int32_t start = from.StartRail;
    const std::int32_t finish = from.FinishRail;
    const bool clean = !from.Modified;
    DeleteAllElements(map);
    map.AdoptElementsOf(from);
    map.Modified = true;
    map.SetStartRail(start);
    map.SetFinishRail(finish);
    if (clean) map.MarkClean();
}

std::int64_t MapFileSize(const TMap& map)
{
    // The two counts, the records, the start and the finish.
    return 16 + std::int64_t{12} * map.BorderCount() + std::int64_t{8} * map.RailCount();
}

void WriteMapFile(const TMap& map, const std::string& path)
{
    WriteWholeFile(path, [&map](TByteSink& sink) {
        TMapWriter out(sink);
        WriteMapBody(map, out);
    });
}
