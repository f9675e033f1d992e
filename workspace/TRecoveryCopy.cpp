#include "workspace/TRecoveryCopy.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>

#include "model/Errors.h"
#include "model/MapFileIO.h"
#include "platform/FileWriter.h"

namespace {

const std::string Heading = "kestedit recovery copy 1";
const std::string MapSuffix = ".KS";
const std::string DescriptionSuffix = ".copy";

std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Join(const std::string& folder, const std::string& name) { return Utf8Of(PathOf(folder) / PathOf(name)); }

[[noreturn]] void Damaged(const std::string& what) { throw EKestError("damaged description: " + what); }

/// Reads "<name> <decimal>" at pos, where the number ends the field: a space
/// or a line end follows, as given.
std::int64_t ReadNumber(const std::string& text, std::size_t& pos, const std::string& name, char after)
{
    if (text.compare(pos, name.size() + 1, name + " ") != 0) Damaged("no " + name);
    pos += name.size() + 1;
    std::int64_t value = 0;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop == begin || stop == end || *stop != after) Damaged("bad " + name);
    // Only the writer's own spelling: no leading zeros, no "-0".
    if (std::string(begin, stop) != std::to_string(value)) Damaged("bad " + name);
    pos += static_cast<std::size_t>(stop - begin) + 1;
    return value;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) throw EFileError(path, "cannot be read");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EFileError(path, "cannot be read");
    return text;
}

void PutText(TByteSink& sink, const std::string& text)
{
    sink.Put(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

std::string RecoveryKey(std::uint64_t id) { return "map-" + std::to_string(id); }

std::string RecoveryKey(const TMap& map) { return RecoveryKey(map.Id()); }

TRecoverySnapshot TakeRecoverySnapshot(const TMap& map, std::int32_t position, std::int64_t time)
{
    return {RecoveryKey(map), {map.FileName, time, position}, MapToBytes(map)};
}

std::string DescriptionText(const TRecoveryDescription& description)
{
    // The file name goes by its length, so that no byte of it (a line end
    // included, which a file name may hold) can be taken for the next field.
    return Heading + "\n" + "time " + std::to_string(description.Time) + "\n" + "position " +
           std::to_string(description.Position) + "\n" + "file " + std::to_string(description.FileName.size()) +
           " " + description.FileName + "\n";
}

TRecoveryDescription ParseDescription(const std::string& text)
{
    if (text.compare(0, Heading.size() + 1, Heading + "\n") != 0) Damaged("not a recovery description");
    std::size_t pos = Heading.size() + 1;
    TRecoveryDescription description;
    description.Time = ReadNumber(text, pos, "time", '\n');
    const std::int64_t position = ReadNumber(text, pos, "position", '\n');
    if (position < 0 || position > INT32_MAX) Damaged("bad position");
    description.Position = static_cast<std::int32_t>(position);
    const std::int64_t length = ReadNumber(text, pos, "file", ' ');
    if (length < 0 || static_cast<std::uint64_t>(length) > text.size() - pos) Damaged("bad file");
    description.FileName = text.substr(pos, static_cast<std::size_t>(length));
    pos += static_cast<std::size_t>(length);
    if (text.size() - pos != 1 || text[pos] != '\n') Damaged("bad end");
    return description;
}

void WriteRecoveryCopy(const std::string& folder, const TRecoverySnapshot& snapshot)
{
    WriteWholeFile(Join(folder, snapshot.Key + MapSuffix), [&snapshot](TByteSink& sink) {
        sink.Put(snapshot.Bytes.data(), snapshot.Bytes.size());
    });
    const std::string text = DescriptionText(snapshot.Description);
    WriteWholeFile(Join(folder, snapshot.Key + DescriptionSuffix), [&text](TByteSink& sink) { PutText(sink, text); });
}

void RemoveRecoveryCopy(const std::string& folder, const std::string& key)
{
    std::error_code ignored;
    // The description goes first: a map left alone is reported, never read
    // with a description that belongs to nothing.
    std::filesystem::remove(PathOf(Join(folder, key + DescriptionSuffix)), ignored);
    std::filesystem::remove(PathOf(Join(folder, key + MapSuffix)), ignored);
}

namespace {

bool EndsWith(const std::string& name, const std::string& suffix)
{
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void ReadCopy(TRecoveredCopy& copy, bool hasMap, bool hasDescription)
{
    try {
        if (!hasDescription) throw EKestError("the description is missing");
        copy.Description = ParseDescription(ReadWholeFile(copy.DescriptionPath));
        if (!hasMap) throw EKestError("the map is missing");
        auto map = std::make_unique<TMap>();
        TMapReader in(copy.MapPath);
        // The elements come back exactly as they were copied: no tidying up.
        ReadMapBody(*map, in);
        if (in.Remaining() != 0) throw EKestError("the map has bytes after its end");
        map->FileName = copy.Description.FileName;
        map->Modified = true;
        copy.Map = std::move(map);
    } catch (const std::exception& error) {
        copy.Damage = error.what();
        copy.Map.reset();
    }
}

} // namespace

std::vector<TRecoveredCopy> ReadRecoveryCopies(const std::string& folder)
{
    // key -> (has map, has description)
    std::map<std::string, std::pair<bool, bool>> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(PathOf(folder), error), end; !error && it != end; it.increment(error)) {
        const std::string name = Utf8Of(it->path().filename());
        // Hidden names are the file writer's temporary files.
        if (name.empty() || name[0] == '.') continue;
        if (EndsWith(name, MapSuffix))
            found[name.substr(0, name.size() - MapSuffix.size())].first = true;
        else if (EndsWith(name, DescriptionSuffix))
            found[name.substr(0, name.size() - DescriptionSuffix.size())].second = true;
    }
    std::vector<TRecoveredCopy> copies;
    for (const auto& [key, halves] : found) {
        TRecoveredCopy copy;
        copy.Key = key;
        copy.MapPath = Join(folder, key + MapSuffix);
        copy.DescriptionPath = Join(folder, key + DescriptionSuffix);
        ReadCopy(copy, halves.first, halves.second);
        copies.push_back(std::move(copy));
    }
    std::stable_sort(copies.begin(), copies.end(), [](const TRecoveredCopy& a, const TRecoveredCopy& b) {
        return a.Description.Position < b.Description.Position;
    });
    return copies;
}
