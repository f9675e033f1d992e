#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "model/Errors.h"
#include "model/MapFileIO.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/TempFolder.h"
#include "workspace/TRecoveryCopy.h"

namespace {

using namespace MapBuilders;

/// A map that a load would tidy up: a rail of no length and one drawn twice.
TMap UntidyMap()
{
    TMap map;
    PutBorder(map, 10, 10, 400, 20, clRed, bkFlat);
    PutRail(map, 100, 100, 300, 100);
    PutRail(map, 100, 100, 300, 100);
    PutRail(map, 500, 500, 500, 500);
    map.SetStartRail(0);
    map.SetFinishRail(2);
    return map;
}

TEST(RecoveryCopy, ComesBackExactlyInListOrderWithItsDescription)
{
    TTempFolder folder;
    TMap first = UntidyMap();
    // A name may hold a line end and Cyrillic; neither may break the description.
    first.FileName = "/карты/поле\nвторое.KS";
    TMap second;
    PutRail(second, 1, 2, 3, 4);
    WriteRecoveryCopy(folder.Path().string(), TakeRecoverySnapshot(second, 3, 1700000000));
    WriteRecoveryCopy(folder.Path().string(), TakeRecoverySnapshot(first, 1, -5));

    const std::vector<TRecoveredCopy> copies = ReadRecoveryCopies(folder.Path().string());
    ASSERT_EQ(copies.size(), 2u);
    const TRecoveredCopy& a = copies[0];
    ASSERT_TRUE(a.Map) << a.Damage;
    EXPECT_EQ(a.Key, RecoveryKey(first));
    EXPECT_EQ(a.Description, (TRecoveryDescription{first.FileName, -5, 1}));
    EXPECT_EQ(MapToBytes(*a.Map), MapToBytes(first));
    EXPECT_EQ(a.Map->RailCount(), 3);
    EXPECT_EQ(a.Map->FileName, first.FileName);
    EXPECT_TRUE(a.Map->Modified);
    const TRecoveredCopy& b = copies[1];
    ASSERT_TRUE(b.Map) << b.Damage;
    EXPECT_EQ(b.Description, (TRecoveryDescription{"", 1700000000, 3}));
    EXPECT_EQ(MapToBytes(*b.Map), MapToBytes(second));

    // Taken again, the copy replaces the old one; removed, it is gone, the other stays.
    PutRail(second, 7, 7, 9, 9);
    WriteRecoveryCopy(folder.Path().string(), TakeRecoverySnapshot(second, 0, 2));
    RemoveRecoveryCopy(folder.Path().string(), RecoveryKey(first));
    RemoveRecoveryCopy(folder.Path().string(), RecoveryKey(first));
    const std::vector<TRecoveredCopy> left = ReadRecoveryCopies(folder.Path().string());
    ASSERT_EQ(left.size(), 1u);
    ASSERT_TRUE(left[0].Map);
    EXPECT_EQ(MapToBytes(*left[0].Map), MapToBytes(second));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{RecoveryKey(second) + ".KS", RecoveryKey(second) + ".copy"}));
}

TEST(RecoveryCopy, DamageIsReportedAndNothingIsRemoved)
{
    TTempFolder folder;
    const std::string dir = folder.Path().string();
    TMap map = UntidyMap();
    const TRecoverySnapshot snapshot = TakeRecoverySnapshot(map, 0, 1);
    WriteRecoveryCopy(dir, snapshot);
    std::vector<std::uint8_t> cut = snapshot.Bytes;
    cut.resize(cut.size() - 3);
    WriteBytes(folder.File(snapshot.Key + ".KS"), cut);
    // Half copies: a map without its description and a description without its map.
    WriteBytes(folder.File("map-lonely.KS"), snapshot.Bytes);
    const std::string text = DescriptionText({"x.KS", 1, 2});
    WriteBytes(folder.File("map-empty.copy"), std::vector<std::uint8_t>(text.begin(), text.end()));
    WriteBytes(folder.File("map-garbage.copy"), {'h', 'i', '\n'});
    WriteBytes(folder.File("map-garbage.KS"), snapshot.Bytes);
    // Bytes after the end would be lost by a later save: not a clean copy either.
    std::vector<std::uint8_t> longer = snapshot.Bytes;
    longer.push_back(0);
    WriteRecoveryCopy(dir, {"map-longer", {"", 0, 0}, longer});
    // The file writer's leftovers are no copies at all.
    WriteBytes(folder.File(".map-1.KS.tmp"), {1, 2});
    const std::vector<std::string> before = folder.Names();

    const std::vector<TRecoveredCopy> copies = ReadRecoveryCopies(dir);
    ASSERT_EQ(copies.size(), 5u);
    for (const TRecoveredCopy& copy : copies) {
        EXPECT_FALSE(copy.Map) << copy.Key;
        EXPECT_FALSE(copy.Damage.empty()) << copy.Key;
    }
    const auto damage = [&](const std::string& key) {
        for (const TRecoveredCopy& copy : copies)
            if (copy.Key == key) return copy.Damage;
        return std::string("(no such copy)");
    };
    EXPECT_EQ(damage(snapshot.Key), "Read beyond end of file");
    EXPECT_EQ(damage("map-lonely"), "the description is missing");
    EXPECT_EQ(damage("map-empty"), "the map is missing");
    EXPECT_EQ(damage("map-garbage"), "damaged description: not a recovery description");
    EXPECT_EQ(damage("map-longer"), "the map has bytes after its end");
    EXPECT_EQ(folder.Names(), before);
    EXPECT_TRUE(ReadRecoveryCopies(folder.File("missing")).empty());
}

TEST(RecoveryCopy, AnyChangedDescriptionIsReadBackExactlyOrRefused)
{
    std::mt19937 rng(19);
    const std::string good = DescriptionText({"/a/b\n c.KS", 1733700000, 12});
    EXPECT_EQ(ParseDescription(good), (TRecoveryDescription{"/a/b\n c.KS", 1733700000, 12}));
    const std::string alphabet = "0123456789 \n-+xa";
    std::int32_t refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        const int changes = 1 + static_cast<int>(rng() % 3);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = rng() % (text.size() + 1);
            switch (rng() % 3) {
            case 0:
                if (at < text.size()) text[at] = alphabet[rng() % alphabet.size()];
                break;
            case 1: text.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
            default: text.erase(std::min(at, text.size() - 1), 1); break;
            }
        }
        // Whatever is accepted must be exactly what the writer gives for it.
        try {
            EXPECT_EQ(DescriptionText(ParseDescription(text)), text) << text;
        } catch (const EKestError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 1000);
}

} // namespace
