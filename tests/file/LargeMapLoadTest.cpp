// Large maps load record for record as a plain decode of the bytes reads
// them, damaged or whole, across the loader's blocks, and save back to the
// same bytes.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <random>
#include <string>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"

namespace {

/// What a plain decode of the bytes finds: the records read completely and
/// the first damage met.
struct TDecoded {
    std::vector<std::array<std::int64_t, 6>> Borders;
    std::vector<std::array<std::int64_t, 4>> Rails;
    std::int64_t Start = -1, Finish = -1;
    /// The finish as stored: a map refuses one that is its start.
    std::int64_t StoredFinish = -1;
    std::string Error;
    /// Where a whole map's bytes end.
    std::size_t End = 0;
};

TDecoded DecodePlainly(const filetest::Bytes& b)
{
    TDecoded out;
    std::size_t at = 0;
    const auto need = [&](std::size_t n) {
        if (b.size() - at < n) throw std::string("Read beyond end of file");
    };
    const auto u16 = [&](std::size_t p) { return static_cast<std::int64_t>(b[p] + 256 * b[p + 1]); };
    const auto i32 = [&] {
        need(4);
        const auto v = static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                                 static_cast<std::uint32_t>(b[at + 3]) << 24);
        at += 4;
        return v;
    };
    try {
        const std::int32_t borders = i32();
        if (borders < 0) throw std::string("Range check error");
        for (std::int32_t k = 0; k < borders; ++k, at += 12) {
            need(12);
            if (b[at + 11] > 3) throw std::string("Range check error");
            out.Borders.push_back({u16(at), u16(at + 2), u16(at + 4), u16(at + 6),
                                   b[at + 8] + 256 * b[at + 9] + 65536 * b[at + 10], b[at + 11]});
        }
        const std::int32_t rails = i32();
        if (rails < 0) throw std::string("Range check error");
        for (std::int32_t k = 0; k < rails; ++k, at += 8) {
            need(8);
            out.Rails.push_back({u16(at), u16(at + 2), u16(at + 4), u16(at + 6)});
        }
        out.Start = i32();
        out.StoredFinish = i32();
        out.Finish = out.StoredFinish >= 0 && out.StoredFinish == out.Start ? -1 : out.StoredFinish;
        out.End = at;
    } catch (const std::string& error) {
        out.Error = error;
    }
    return out;
}

/// The loaded map beside the plain decode, field by field.
void ExpectDecoded(const TDecoded& expected, const TMap& map, const std::string& error)
{
    ASSERT_EQ(expected.Error, error);
    ASSERT_EQ(expected.Borders.size(), map.Borders().size());
    ASSERT_EQ(expected.Rails.size(), map.Rails().size());
    for (std::size_t i = 0; i < expected.Borders.size(); ++i) {
        const TBorder& a = map.Borders()[i];
        ASSERT_EQ(expected.Borders[i], (std::array<std::int64_t, 6>{a.X1, a.Y1, a.X2, a.Y2, a.Color, a.Kind}))
            << "border " << i;
        ASSERT_FALSE(a.Selected);
    }
    for (std::size_t i = 0; i < expected.Rails.size(); ++i) {
        const TRail& a = map.Rails()[i];
        ASSERT_EQ(expected.Rails[i], (std::array<std::int64_t, 4>{a.X1, a.Y1, a.X2, a.Y2})) << "rail " << i;
        // Only the start and finish a whole file names are marked.
        ASSERT_EQ((std::array<bool, 3>{false, expected.Start == static_cast<std::int64_t>(i),
                                       expected.Error.empty() && expected.Finish == static_cast<std::int64_t>(i)}),
                  (std::array<bool, 3>{a.Selected, a.IsStart, a.IsFinish}))
            << "rail " << i;
    }
    EXPECT_EQ(expected.Start, map.StartRail);
    if (expected.Error.empty()) {
        EXPECT_EQ(expected.Finish, map.FinishRail);
    }
}

/// Loads bytes from a file and from memory without tidying, checks both
/// against the plain decode, and for a whole file that the map saves back to
/// the same bytes.
void CheckLoad(const filetest::Bytes& bytes, const std::string& path, const std::string& what)
{
    SCOPED_TRACE(what);
    const TDecoded expected = DecodePlainly(bytes);
    filetest::WriteBytes(path, bytes);
    for (const bool fromFile : {true, false}) {
        TMap map;
        std::string error;
        // What follows a map's end tells a recovery copy from a damaged one.
        std::int64_t left = -1;
        try {
            if (fromFile) {
                TMapReader in(path);
                ReadMapBody(map, in);
                left = in.Remaining();
            } else {
                TMapReader in(bytes.data(), bytes.size());
                ReadMapBody(map, in);
                left = in.Remaining();
            }
        } catch (const EKestError& e) {
            error = e.what();
        }
        ExpectDecoded(expected, map, error);
        if (error.empty()) {
            EXPECT_EQ(static_cast<std::int64_t>(bytes.size() - expected.End), left);
        }
        if (error.empty() && expected.Finish == expected.StoredFinish && bytes.size() == 8 + 12 * expected.Borders.size() + 8 * expected.Rails.size() + 8) {
            EXPECT_TRUE(MapToBytes(map) == bytes);
        }
    }
}

void Put32(filetest::Bytes& bytes, std::size_t at, std::int32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes[at++] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift);
}

} // namespace

TEST(LargeMapLoad, RandomLargeMapsDamagedAnywhereLoadAsAPlainDecode)
{
    // Sizes on both sides of the loader's blocks of records, up to a million;
    // each map whole, then with a kind of 4, a cut or a lying count at a
    // random place and at the edges of a block.
    std::mt19937 rng(23);
    const auto pick = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };
    const TTempFolder folder;
    const std::string path = folder.File("large.ks");
    for (const auto& [borders, rails] : {std::pair{65535, 65537}, std::pair{65536, 1}, std::pair{131073, 200000},
                                        std::pair{3, 1000000}, std::pair{500000, 500000}}) {
        filetest::Bytes bytes(8 + 12 * static_cast<std::size_t>(borders) + 8 * static_cast<std::size_t>(rails) + 8);
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(rng());
        Put32(bytes, 0, borders);
        for (std::size_t k = 0; k < static_cast<std::size_t>(borders); ++k) bytes[4 + 12 * k + 11] &= 3;
        const std::size_t railsAt = 4 + 12 * static_cast<std::size_t>(borders);
        Put32(bytes, railsAt, rails);
        const std::string size = std::to_string(borders) + "+" + std::to_string(rails);
        CheckLoad(bytes, path, size + " whole");

        const std::int64_t edges[] = {0, 65535, 65536, pick(0, borders - 1)};
        for (const std::int64_t k : edges) {
            if (k >= borders) continue;
            filetest::Bytes kind = bytes;
            kind[4 + 12 * static_cast<std::size_t>(k) + 11] = static_cast<std::uint8_t>(pick(4, 255));
            CheckLoad(kind, path, size + " kind at border " + std::to_string(k));
        }
        for (const std::int64_t cut : {static_cast<std::int64_t>(railsAt) + 4 + 8 * 65536 + 3,
                                       pick(0, static_cast<std::int64_t>(bytes.size()) - 1)}) {
            if (cut >= static_cast<std::int64_t>(bytes.size())) continue;
            CheckLoad(filetest::Bytes(bytes.begin(), bytes.begin() + cut), path, size + " cut at " + std::to_string(cut));
        }
        filetest::Bytes lying = bytes;
        Put32(lying, railsAt, rails + static_cast<std::int32_t>(pick(1, 3)));
        CheckLoad(lying, path, size + " rail count too large");
    }
}

TEST(LargeMapLoad, EverySampleAndFuzzFileLoadsAsAPlainDecode)
{
    const TTempFolder folder;
    const std::string path = folder.File("copy.ks");
    int files = 0;
    for (const std::string& dir : {std::string(KEST_TEST_DATA), std::string(KEST_TEST_DATA) + "/damaged",
                                  std::string(KEST_TEST_DATA) + "/../../fuzz/seeds"})
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            CheckLoad(filetest::ReadBytes(entry.path().string()), path, entry.path().filename().string());
            ++files;
        }
    EXPECT_GT(files, 60);
}
