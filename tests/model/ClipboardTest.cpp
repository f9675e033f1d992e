#include <gtest/gtest.h>

#include <random>

#include "model/MapClipboard.h"
#include "tests/support/MapBuilders.h"

using MapBuilders::BorderOf;
using MapBuilders::PutRail;
using MapBuilders::RailOf;

// Random elements survive the bytes; every shorter or longer copy of the
// bytes, and a border kind beyond the four, gives nothing.
TEST(Clipboard, BytesGiveTheElementsBackAndAnythingElseNothing)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<std::int32_t> at(0, WorldSize);
    std::vector<TBorder> borders;
    std::vector<TRail> rails;
    for (int k = 0; k < 7; ++k)
        borders.push_back(BorderOf(at(rng), at(rng), at(rng), at(rng), rng() & 0xFFFFFF, static_cast<std::uint8_t>(k % 4)));
    for (int k = 0; k < 5; ++k) rails.push_back(RailOf(at(rng), at(rng), at(rng), at(rng)));
    const std::vector<std::uint8_t> bytes = EncodeClipboardMap(borders, rails);
    ASSERT_EQ(bytes.size(), 4 + 7 * 12 + 4 + 5 * 8 + 8u);
    const std::optional<TClipboardElements> back = DecodeClipboardMap(bytes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Borders.size(), borders.size());
    ASSERT_EQ(back->Rails.size(), rails.size());
    for (std::size_t k = 0; k < borders.size(); ++k) {
        EXPECT_TRUE(SameElement(back->Borders[k], borders[k])) << k;
    }
    for (std::size_t k = 0; k < rails.size(); ++k) EXPECT_TRUE(SameElement(back->Rails[k], rails[k])) << k;

    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(DecodeClipboardMap(std::span(bytes.data(), size))) << size;
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(DecodeClipboardMap(longer));
    std::vector<std::uint8_t> badKind = bytes;
    badKind[4 + 11] = 4; // the first border's kind
    EXPECT_FALSE(DecodeClipboardMap(badKind));
    const std::string text = "Рельс 1 2 3 4\n";
    EXPECT_FALSE(DecodeClipboardMap(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    EXPECT_EQ(ClipboardText({}, std::span(rails.data(), 1)),
              "Рельс " + std::to_string(rails[0].X1) + " " + std::to_string(rails[0].Y1) + " " +
                  std::to_string(rails[0].X2) + " " + std::to_string(rails[0].Y2) + "\n");
}

// The move into the world against a search of every allowed move for the
// one nearest to the wanted one.
TEST(Clipboard, MovingIntoTheWorldTakesTheNearestMoveThatFits)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::int32_t> at(-300, WorldSize + 300), size(0, 400), wanted(-12000, 12000);
    for (int round = 0; round < 300; ++round) {
        const std::int32_t x1 = at(rng), y1 = at(rng);
        const TWorldRect box{x1, y1, x1 + size(rng), y1 + size(rng)};
        const TPoint want{wanted(rng), wanted(rng)};
        const TPoint move = MoveIntoWorld(box, want);
        const auto check = [&](std::int32_t low, std::int32_t high, std::int32_t w, std::int32_t got) {
            // Allowed moves m: low + m >= 0 and high + m <= WorldSize; the nearest to w.
            const std::int32_t least = -low, most = WorldSize - high;
            const std::int32_t best = w < least ? least : w > most ? most : w;
            EXPECT_EQ(got, best) << low << " " << high << " " << w;
        };
        check(box.x1, box.x2, want.x, move.x);
        check(box.y1, box.y2, want.y, move.y);
    }
}

// A paste under a point near the world's corner stays inside; one in place
// keeps the coordinates; a paste's nearest end snaps onto an end of the map.
TEST(Clipboard, PastesStayInsideTheWorldAndSnapTheirNearestEnd)
{
    TClipboardElements elements;
    elements.Rails = {RailOf(100, 100, 200, 100), RailOf(200, 100, 200, 300)};
    TMap map;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    map.ViewX = 9400;
    map.ViewY = 9400;
    PasteElements(map, elements, TPoint{9990, 9990});
    ASSERT_EQ(map.RailCount(), 2);
    EXPECT_EQ(map.Rails()[0].X1, WorldSize - 100);
    EXPECT_EQ(map.Rails()[1].Y2, WorldSize);
    EXPECT_EQ(map.SelectedCount(), 2);

    TMap other;
    other.ViewWidth = 718;
    other.ViewHeight = 600;
    PutRail(other, 500, 500, 503, 420);
    PasteElements(other, elements, std::nullopt);
    EXPECT_EQ(other.Rails()[1].X1, 100);
    EXPECT_EQ(other.Rails()[2].Y2, 300);
    // The box's centre is (150, 250); the end nearest to it, (150, 240),
    // lands 3 and 2 units off the map's end (500, 500) and snaps onto it.
    elements.Rails.push_back(RailOf(150, 240, 160, 240));
    elements.Rails[1].Y2 = 400;
    PasteElements(other, elements, TPoint{503, 512});
    ASSERT_EQ(other.RailCount(), 6);
    EXPECT_EQ(other.Rails()[5].X1, 500);
    EXPECT_EQ(other.Rails()[5].Y1, 500);
    EXPECT_EQ(other.Rails()[3].X1, 450);
}
