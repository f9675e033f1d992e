// Damaged map files report the first damage a read byte by byte meets, and
// keep the elements read completely before it: the loader's answers against
// a reader written the slow, literal way, from a file and from memory.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"
#include "tests/support/MapBytes.h"

namespace {

struct TOutcome {
    std::string Error;
    std::int32_t Borders = 0;
    std::int32_t Rails = 0;
    friend bool operator==(const TOutcome&, const TOutcome&) = default;
};

std::ostream& operator<<(std::ostream& out, const TOutcome& o)
{
    return out << "'" << o.Error << "' with " << o.Borders << " borders, " << o.Rails << " rails";
}

/// One byte at a time, refusing what the format refuses at the byte where it
/// stands; counts the records read completely.
TOutcome ReadByteByByte(const filetest::Bytes& bytes)
{
    TOutcome out;
    std::size_t at = 0;
    const auto byte = [&]() -> std::uint8_t {
        if (at == bytes.size()) throw std::string("Read beyond end of file");
        return bytes[at++];
    };
    const auto int32 = [&] {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 32; shift += 8) v |= static_cast<std::uint32_t>(byte()) << shift;
        return static_cast<std::int32_t>(v);
    };
    try {
        const std::int32_t borders = int32();
        if (borders < 0) throw std::string("Range check error");
        for (std::int32_t k = 0; k < borders; ++k) {
            for (int b = 0; b < 11; ++b) byte();
            if (byte() > 3) throw std::string("Range check error");
            ++out.Borders;
        }
        const std::int32_t rails = int32();
        if (rails < 0) throw std::string("Range check error");
        for (std::int32_t k = 0; k < rails; ++k) {
            for (int b = 0; b < 8; ++b) byte();
            ++out.Rails;
        }
        int32();
        int32();
    } catch (const std::string& error) {
        out.Error = error;
    }
    return out;
}

TOutcome LoadFromFile(const std::string& path)
{
    TMap map;
    try {
        const TMapFileStats stats = ReadMapFile(map, path);
        return {"", stats.BordersStored, stats.RailsStored};
    } catch (const EKestError& error) {
        return {error.what(), map.BorderCount(), map.RailCount()};
    }
}

TOutcome LoadFromMemory(const filetest::Bytes& bytes)
{
    TMap map;
    TMapReader in(bytes.data(), bytes.size());
    try {
        ReadMapBody(map, in);
        return {"", map.BorderCount(), map.RailCount()};
    } catch (const EKestError& error) {
        return {error.what(), map.BorderCount(), map.RailCount()};
    }
}

void PutInt32(filetest::Bytes& bytes, std::size_t at, std::int32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (at < bytes.size()) bytes[at++] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift);
}

} // namespace

TEST(ReadingOrder, AKindOfFourBeforeTheCutIsARangeErrorNotTheEnd)
{
    // Two borders counted, the first of kind 4, the file cut after it.
    TMapBytes two;
    two.Border(10, 10, 200, 10, 0x123456, 4).Border(10, 50, 200, 50);
    const filetest::Bytes whole = two.Bytes();
    const filetest::Bytes cut(whole.begin(), whole.begin() + 4 + 12);
    const TTempFolder folder;
    const std::string path = folder.Write("cut.ks", cut);
    EXPECT_EQ(LoadFromFile(path), (TOutcome{"Range check error", 0, 0}));
    EXPECT_EQ(LoadFromMemory(cut), (TOutcome{"Range check error", 0, 0}));
}

TEST(ReadingOrder, DamagedFilesMeetWhatAByteByByteReadMeetsFirst)
{
    // Maps cut anywhere, with kinds above 3 and counts that lie (larger,
    // negative, huge) dropped in: the error and the records kept must be
    // those of the literal reader, from a file as from memory.
    std::mt19937 rng(11);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const TTempFolder folder;
    const std::string path = folder.File("damaged.ks");
    int ranges = 0, ends = 0, loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        TMapBytes map;
        const int borders = pick(0, 4), rails = pick(0, 4);
        for (int k = 0; k < borders; ++k)
            map.Border(pick(0, 9000), pick(0, 9000), pick(0, 9000), pick(0, 9000), 0x00FF00, pick(0, 9) < 8 ? pick(0, 3) : pick(4, 255));
        for (int k = 0; k < rails; ++k) map.Rail(pick(0, 9000), pick(0, 9000), pick(0, 9000), pick(0, 9000));
        filetest::Bytes bytes = map.Start(pick(-1, rails)).Finish(pick(-1, rails)).Bytes();
        const std::size_t railCountAt = 4 + 12 * static_cast<std::size_t>(borders);
        const auto lie = [&](std::int32_t count) {
            const std::int32_t lies[] = {count - 1, count + 1, count + 2, count + 7, -1, 1 << 20, 0x7FFFFFFF,
                                         -0x7FFFFFFF - 1};
            return lies[pick(0, 7)];
        };
        switch (pick(0, 5)) {
        case 0: PutInt32(bytes, 0, lie(borders)); break;
        case 1: PutInt32(bytes, railCountAt, lie(rails)); break;
        default: break;
        }
        if (pick(0, 2) > 0) bytes.resize(static_cast<std::size_t>(pick(0, static_cast<int>(bytes.size()))));

        const TOutcome expected = ReadByteByByte(bytes);
        ASSERT_EQ(LoadFromMemory(bytes), expected) << "round " << round;
        if (round % 4 == 0) {
            filetest::WriteBytes(path, bytes);
            ASSERT_EQ(LoadFromFile(path), expected) << "round " << round;
        }
        (expected.Error.empty() ? loaded : expected.Error == "Range check error" ? ranges : ends) += 1;
    }
    EXPECT_GT(ranges, 300);
    EXPECT_GT(ends, 1000);
    EXPECT_GT(loaded, 300);
}
