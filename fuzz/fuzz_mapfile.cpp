// libFuzzer target over the map-file reader. Every input is loaded the way
// the editor loads a file (from disk, through ReadMapFile) and again from
// memory; the two must agree, the loaded map must be clean, and the route
// check, the bounds, the overview drawing and a write/re-read round trip must
// all run without error on it. Anything other than the reader's own errors
// for a damaged file is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "draw/Overview.h"
#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "platform/Canvas.h"

namespace {

#define FUZZ_REQUIRE(condition)                                                              \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);   \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)

/// A canvas that draws nothing: the drawing's arithmetic still runs in full.
class TNullCanvas : public TCanvas {
public:
    void SetPenColor(TColor) override {}
    void SetPenWidth(std::int32_t) override {}
    void SetPenStyle(TPenStyle) override {}
    void SetBrushColor(TColor) override {}
    void SetBrushStyle(TBrushStyle) override {}
    void Rectangle(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void Ellipse(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void MoveTo(std::int32_t, std::int32_t) override {}
    void LineTo(std::int32_t, std::int32_t) override {}
    void Draw(std::int32_t, std::int32_t, const TBitmap&) override {}
};

/// The file each input is written to, in memory-backed /dev/shm when there is
/// one; removed when the fuzzer exits.
struct TInputFile {
    std::string Path;
    TInputFile()
    {
        const std::filesystem::path shm("/dev/shm");
        const auto folder = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        Path = (folder / ("kest-fuzz-" + std::to_string(::getpid()) + ".ks")).string();
    }
    ~TInputFile() { std::remove(Path.c_str()); }
};

const std::string& InputPath()
{
    static const TInputFile file;
    return file.Path;
}

void WriteInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    FUZZ_REQUIRE(file != nullptr);
    FUZZ_REQUIRE(size == 0 || std::fwrite(data, 1, size, file) == size);
    FUZZ_REQUIRE(std::fclose(file) == 0);
}

bool InWorld(const TLine& line)
{
    const auto in = [](std::int32_t v) { return v >= 0 && v <= WorldSize; };
    return in(line.X1) && in(line.Y1) && in(line.X2) && in(line.Y2);
}

bool SameMap(const TMap& a, const TMap& b)
{
    if (a.StartRail != b.StartRail || a.FinishRail != b.FinishRail) return false;
    if (a.BorderCount() != b.BorderCount() || a.RailCount() != b.RailCount()) return false;
    for (std::size_t i = 0; i < a.Borders().size(); ++i) {
        const TBorder& p = a.Borders()[i];
        const TBorder& q = b.Borders()[i];
        if (p.X1 != q.X1 || p.Y1 != q.Y1 || p.X2 != q.X2 || p.Y2 != q.Y2 || p.Color != q.Color || p.Kind != q.Kind)
            return false;
    }
    for (std::size_t i = 0; i < a.Rails().size(); ++i) {
        const TRail& p = a.Rails()[i];
        const TRail& q = b.Rails()[i];
        if (p.X1 != q.X1 || p.Y1 != q.Y1 || p.X2 != q.X2 || p.Y2 != q.Y2 || p.IsStart != q.IsStart ||
            p.IsFinish != q.IsFinish)
            return false;
    }
    return true;
}

/// Loads the bytes from the input file and from memory. Both must succeed or
/// fail alike, with the same message, and on success hold the same map.
/// Returns whether the load succeeded; the file's map is left in fromFile.
bool LoadBothWays(const std::uint8_t* data, std::size_t size, TMap& fromFile)
{
    std::string fileError;
    try {
        const TMapFileStats stats = ReadMapFile(fromFile, InputPath());
        FUZZ_REQUIRE(stats.SizeBytes == static_cast<std::int64_t>(size));
        FUZZ_REQUIRE(stats.BordersStored >= fromFile.BorderCount() && stats.RailsStored >= fromFile.RailCount());
        FUZZ_REQUIRE(16 + 12 * static_cast<std::int64_t>(stats.BordersStored) +
                         8 * static_cast<std::int64_t>(stats.RailsStored) <=
                     static_cast<std::int64_t>(size));
    } catch (const EKestError& error) {
        fileError = error.what();
    }
    TMap fromMemory;
    std::string memoryError;
    try {
        TMapReader in(data, size);
        ReadMapBody(fromMemory, in);
        fromMemory.Normalize();
    } catch (const EKestError& error) {
        memoryError = error.what();
    }
    FUZZ_REQUIRE(fileError == memoryError);
    if (fileError.empty()) FUZZ_REQUIRE(SameMap(fromFile, fromMemory));
    return fileError.empty();
}

/// What a normalised map holds: elements inside the world, rails of length 10
/// or more, flags agreeing with the indexes, nothing selected.
void RequireClean(const TMap& map)
{
    FUZZ_REQUIRE(map.SelRail == -1 && map.SelBorder == -1);
    for (const TBorder& border : map.Borders()) {
        FUZZ_REQUIRE(InWorld(border));
        FUZZ_REQUIRE(border.Kind <= bkArch);
        FUZZ_REQUIRE(border.Color <= 0xFFFFFFu);
    }
    for (std::int32_t i = 0; i < map.RailCount(); ++i) {
        const TRail& rail = map.Rails()[static_cast<std::size_t>(i)];
        FUZZ_REQUIRE(InWorld(rail));
        FUZZ_REQUIRE(rail.Length() >= 10.0);
        FUZZ_REQUIRE(rail.IsStart == (i == map.StartRail));
        FUZZ_REQUIRE(rail.IsFinish == (i == map.FinishRail));
        FUZZ_REQUIRE(!rail.Selected);
    }
    FUZZ_REQUIRE(map.StartRail < 0 || map.StartRail != map.FinishRail);
}

/// The route check's answer must agree with the faults it lists, and every
/// link and reported rail must name a rail.
void RequireSoundCheck(TMap& map)
{
    std::int32_t faultRail = -2;
    std::vector<TRouteFault> faults;
    const bool valid = map.CheckRoutes(faultRail, &faults);
    FUZZ_REQUIRE(valid == faults.empty());
    std::int32_t lastRail = -1;
    for (const TRouteFault& fault : faults) {
        const bool mapWide = fault.Kind == TRouteFaultKind::NoStart || fault.Kind == TRouteFaultKind::NoFinish;
        FUZZ_REQUIRE(mapWide ? fault.Rail == -1 : fault.Rail >= 0 && fault.Rail < map.RailCount());
        if (!mapWide) lastRail = fault.Rail;
    }
    FUZZ_REQUIRE(faultRail == lastRail);
    const auto link = [&](std::int32_t k) { return k >= -1 && k < map.RailCount(); };
    for (std::int32_t k = 0; k < map.RailCount(); ++k) {
        const TRailLinks links = map.RailLinks(k);
        FUZZ_REQUIRE(link(links.Next1) && link(links.Next2) && link(links.Prev1) && link(links.Prev2));
    }
}

void RequireDrawable(const TMap& map)
{
    FUZZ_REQUIRE(MaxX(map) - MinX(map) >= 20 && MaxY(map) - MinY(map) >= 20);
    TNullCanvas canvas;
    DrawOverview(map, canvas, 1000, 1000);
    DrawOverviewWithViewport(map, canvas, 137, 137, 0, 0);
    (void)OverviewToView(map, 68, 68, 137, 137);
}

/// The input's records pushed past the reader's first 64 KiB block by blank
/// borders in front, so that the file reader refills its buffer in the middle
/// of them; it must still read exactly what the memory reader reads.
void RequireSameAcrossBlocks(const std::uint8_t* data, std::size_t size)
{
    // Reading 64 KiB per input is slow; one input in eight, chosen by its last byte, pays for it.
    if (size < 4 || data[size - 1] % 8 != 0) return;
    const std::int32_t count = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) | data[1] << 8 |
                                                         data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
    const std::int32_t filler = 5455 + data[size - 1] / 8 % 12;
    if (count > INT32_MAX - filler) return;
    const auto total = static_cast<std::uint32_t>(count + filler);
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(total), static_cast<std::uint8_t>(total >> 8),
                                       static_cast<std::uint8_t>(total >> 16), static_cast<std::uint8_t>(total >> 24)};
    bytes.resize(4 + 12 * static_cast<std::size_t>(filler), 0);
    bytes.insert(bytes.end(), data + 4, data + size);
    WriteInput(bytes.data(), bytes.size());
    TMap map;
    if (LoadBothWays(bytes.data(), bytes.size(), map) && count >= 0) FUZZ_REQUIRE(map.BorderCount() >= filler);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteInput(data, size);
    TMap fromFile;
    fromFile.ViewWidth = 718;
    fromFile.ViewHeight = 600;
    const bool loaded = LoadBothWays(data, size, fromFile);

    if (loaded) {
        FUZZ_REQUIRE(!fromFile.Modified);
        RequireClean(fromFile);
        // A loaded map written out and read back is the same map, byte for byte.
        const std::vector<std::uint8_t> bytes = MapToBytes(fromFile);
        FUZZ_REQUIRE(bytes.size() == 16 + 12 * fromFile.Borders().size() + 8 * fromFile.Rails().size());
        TMap reloaded;
        TMapReader again(bytes.data(), bytes.size());
        ReadMapBody(reloaded, again);
        reloaded.Normalize();
        FUZZ_REQUIRE(SameMap(fromFile, reloaded));
        FUZZ_REQUIRE(MapToBytes(reloaded) == bytes);
    }
    // A map left by a failed load is what the editor goes on showing and
    // checking, so it must survive both as well.
    RequireDrawable(fromFile);
    RequireSoundCheck(fromFile);
    RequireClean(fromFile);
    RequireDrawable(fromFile);

    RequireSameAcrossBlocks(data, size);
    return 0;
}
