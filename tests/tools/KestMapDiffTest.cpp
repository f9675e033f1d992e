// kestmap diff: the difference of two maps as multisets of records, against
// a count kept here, in text and JSON; damaged files; render --diff's pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <random>

#include "ToolRunner.h"
#include "model/MapFile.h"
#include "model/TMap.h"
#include "tools/MapDiff.h"

namespace {

/// An element as the test writes it: x1 y1 x2 y2, then for a border kind and
/// the red, green and blue bytes.
using TRecord = std::vector<int>;

struct TSide {
    std::vector<TRecord> Borders;
    std::vector<TRecord> Rails;
    int Start = -1;
    int Finish = -1;

    TMapBytes Bytes() const
    {
        TMapBytes map;
        for (const TRecord& b : Borders)
            map.Border(b[0], b[1], b[2], b[3], static_cast<std::uint32_t>(b[5] | b[6] << 8 | b[7] << 16), b[4]);
        for (const TRecord& r : Rails) map.Rail(r[0], r[1], r[2], r[3]);
        return map.Start(Start).Finish(Finish);
    }
};

std::string ColorOf(const TRecord& b)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", b[5], b[6], b[7]);
    return text;
}

TRecord BorderFromJson(const QJsonObject& o)
{
    const std::string color = Utf8(o["color"].toString());
    EXPECT_EQ(color.size(), 7u) << color;
    const auto byte = [&](int at) { return std::stoi(color.substr(static_cast<std::size_t>(at), 2), nullptr, 16); };
    EXPECT_EQ(color, ColorOf({0, 0, 0, 0, 0, byte(1), byte(3), byte(5)})) << "lower case, red first";
    return {o["x1"].toInt(), o["y1"].toInt(), o["x2"].toInt(), o["y2"].toInt(), o["kind"].toInt(),
            byte(1), byte(3), byte(5)};
}

TRecord RailFromJson(const QJsonObject& o) { return {o["x1"].toInt(), o["y1"].toInt(), o["x2"].toInt(), o["y2"].toInt()}; }

/// The records that `from` holds more often than `other`, each as often as
/// the surplus, in no particular order: the multiset count.
std::multiset<TRecord> Surplus(const std::vector<TRecord>& from, const std::vector<TRecord>& other)
{
    std::map<TRecord, int> count;
    for (const TRecord& r : from) ++count[r];
    for (const TRecord& r : other) --count[r];
    std::multiset<TRecord> surplus;
    for (const auto& [record, n] : count)
        for (int i = 0; i < n; ++i) surplus.insert(record);
    return surplus;
}

/// The JSON list as records, checked to be sorted the way the text sorts them:
/// coordinates, then kind, then colour as the number red + green * 256 + ...
std::vector<TRecord> ListOf(const QJsonArray& array, bool borders)
{
    std::vector<TRecord> records;
    for (const auto& value : array)
        records.push_back(borders ? BorderFromJson(value.toObject()) : RailFromJson(value.toObject()));
    const auto key = [](const TRecord& r) {
        TRecord k(r.begin(), r.begin() + std::min<std::ptrdiff_t>(5, static_cast<std::ptrdiff_t>(r.size())));
        if (r.size() > 5) k.push_back(r[5] | r[6] << 8 | r[7] << 16);
        return k;
    };
    EXPECT_TRUE(std::is_sorted(records.begin(), records.end(),
                               [&](const TRecord& a, const TRecord& b) { return key(a) < key(b); }));
    return records;
}

std::string Text(const TRecord& r)
{
    std::string text = r.size() > 4 ? "border" : "rail";
    for (int i = 0; i < 4; ++i) text += ' ' + std::to_string(r[static_cast<std::size_t>(i)]);
    if (r.size() > 4) text += " kind " + std::to_string(r[4]) + ' ' + ColorOf(r);
    return text;
}

std::string MarkText(const TSide& side, int index)
{
    return index < 0 ? "none" : Text(side.Rails[static_cast<std::size_t>(index)]);
}

/// Diffs the files written from storedA and storedB through the tool in both
/// forms, and checks every list against the multiset count of a and b (the
/// maps as loading leaves them) and the text against the JSON.
void ExpectDiff(const TSide& a, const TSide& b, const TSide& storedA, const TSide& storedB, const std::string& label)
{
    SCOPED_TRACE(label);
    const TTempFolder folder;
    const std::string fileA = folder.Write("a.ks", storedA.Bytes().Bytes());
    const std::string fileB = folder.Write("b.ks", storedB.Bytes().Bytes());
    const TToolRun json = RunKestMap({"diff", "--json", fileA, fileB});
    const TToolRun text = RunKestMap({"diff", fileA, fileB});
    ASSERT_EQ(json.Err + text.Err, "");

    const std::multiset<TRecord> removedBorders = Surplus(a.Borders, b.Borders);
    const std::multiset<TRecord> addedBorders = Surplus(b.Borders, a.Borders);
    const std::multiset<TRecord> removedRails = Surplus(a.Rails, b.Rails);
    const std::multiset<TRecord> addedRails = Surplus(b.Rails, a.Rails);
    const std::string startA = MarkText(a, a.Start), startB = MarkText(b, b.Start);
    const std::string finishA = MarkText(a, a.Finish), finishB = MarkText(b, b.Finish);
    const bool same = removedBorders.empty() && addedBorders.empty() && removedRails.empty() &&
                      addedRails.empty() && startA == startB && finishA == finishB;

    EXPECT_EQ(json.Status, same ? 0 : 1);
    EXPECT_EQ(text.Status, same ? 0 : 1);
    const QJsonObject diff = JsonLine(Lines(json.Out).at(0));
    EXPECT_EQ(diff["same"].toBool(), same);
    const QJsonObject removed = diff["removed"].toObject();
    const QJsonObject added = diff["added"].toObject();
    const std::vector<TRecord> lists[] = {
        ListOf(removed["borders"].toArray(), true), ListOf(removed["rails"].toArray(), false),
        ListOf(added["borders"].toArray(), true), ListOf(added["rails"].toArray(), false)};
    const std::multiset<TRecord>* expected[] = {&removedBorders, &removedRails, &addedBorders, &addedRails};
    std::vector<std::string> lines;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(std::multiset<TRecord>(lists[i].begin(), lists[i].end()), *expected[i]) << "list " << i;
        for (const TRecord& r : lists[i]) lines.push_back((i < 2 ? "- " : "+ ") + Text(r));
    }
    const auto mark = [&](const char* key, const std::string& before, const std::string& after) {
        EXPECT_EQ(diff.contains(key), before != after) << key;
        if (before == after) return;
        lines.push_back(std::string(key) + ": " + before + " -> " + after);
        const QJsonValue was = diff[key].toObject()["a"], is = diff[key].toObject()["b"];
        EXPECT_EQ(was.isNull() ? "none" : Text(RailFromJson(was.toObject())), before);
        EXPECT_EQ(is.isNull() ? "none" : Text(RailFromJson(is.toObject())), after);
    };
    mark("start", startA, startB);
    mark("finish", finishA, finishB);
    EXPECT_EQ(Lines(text.Out), lines);
}

TRecord RandomBorder(std::mt19937& random)
{
    std::uniform_int_distribution<int> coordinate(0, 40), kind(0, 3), byte(0, 255);
    // Few distinct values, so that equal records and duplicates are common.
    return {coordinate(random) * 250, coordinate(random) * 250, coordinate(random) * 250, coordinate(random) * 250,
            kind(random), byte(random) & 0xF1, byte(random), byte(random) & 0x1F};
}

TRecord RandomRail(std::mt19937& random)
{
    std::uniform_int_distribution<int> coordinate(0, 20);
    TRecord rail;
    do rail = {coordinate(random) * 500, coordinate(random) * 500, coordinate(random) * 500, coordinate(random) * 500};
    while (rail[0] == rail[2] && rail[1] == rail[3]);
    return rail;
}

} // namespace

// Random maps and random edits of them: moved, reversed, recoloured, re-kinded,
// duplicated, deleted and added elements, the order shuffled, the start and
// finish moved, and elements that loading drops on either side.
TEST(KestMapDiff, AgreesWithAMultisetCountOnRandomEdits)
{
    std::mt19937 random(24);
    for (int round = 0; round < 60; ++round) {
        TSide a;
        std::uniform_int_distribution<int> size(0, 25);
        for (int n = size(random); n > 0; --n) a.Borders.push_back(RandomBorder(random));
        for (int n = size(random); n > 0; --n) a.Rails.push_back(RandomRail(random));
        TSide b = a;
        std::uniform_int_distribution<int> edits(0, round % 10), what(0, 7);
        for (int n = edits(random); n > 0; --n) {
            auto& list = what(random) % 2 ? b.Rails : b.Borders;
            const bool rails = &list == &b.Rails;
            if (list.empty()) {
                list.push_back(rails ? RandomRail(random) : RandomBorder(random));
                continue;
            }
            TRecord& r = list[std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(random)];
            switch (what(random)) {
            case 0:  // moved, never onto its other end
                r[0] = (r[0] + 500) % 10000;
                if (r[0] == r[2] && r[1] == r[3]) r[0] = (r[0] + 500) % 10000;
                break;
            case 1: std::swap(r[0], r[2]), std::swap(r[1], r[3]); break;     // reversed
            case 2: if (!rails) r[5] ^= 0x40, r[7] ^= 0x01; break;           // recoloured
            case 3: if (!rails) r[4] = (r[4] + 1) % 4; break;                // next kind
            case 4: list.push_back(TRecord(r)); break;                       // duplicated
            case 5: list.erase(list.begin()); break;                          // deleted
            default: list.push_back(rails ? RandomRail(random) : RandomBorder(random)); break;
            }
        }
        if (round % 3 == 0) std::shuffle(b.Rails.begin(), b.Rails.end(), random);
        if (round % 4 == 0) std::shuffle(b.Borders.begin(), b.Borders.end(), random);
        for (TSide* side : {&a, &b}) {
            std::uniform_int_distribution<int> index(-1, static_cast<int>(side->Rails.size()) - 1);
            side->Start = index(random);
            side->Finish = index(random);
            if (side->Finish == side->Start) side->Finish = -1;
        }
        if (round % 2 == 0) b.Start = a.Start < static_cast<int>(b.Rails.size()) ? a.Start : -1;
        if (b.Finish == b.Start) b.Finish = -1;  // the finish is never the start rail
        // Loading drops these; the count above never sees them.
        TSide loadedA = a, loadedB = b;
        if (round % 5 == 1) loadedA.Rails.push_back({100, 100, 105, 100});
        if (round % 5 == 2) loadedB.Borders.push_back({10, 10, 10001, 10, 0, 1, 2, 3});
        const std::string label = "round " + std::to_string(round);
        ExpectDiff(a, b, loadedA, loadedB, label);
        ExpectDiff(b, a, loadedB, loadedA, label + " backwards");
    }
}

TEST(KestMapDiff, EqualMapsInAnotherOrderAreTheSame)
{
    const TTempFolder folder;
    TMapBytes a, b;
    a.Border(0, 0, 100, 0, 0x123456, 2).Border(0, 0, 100, 0, 0x123456, 2).Rail(0, 0, 100, 0).Rail(100, 0, 200, 0);
    b.Rail(100, 0, 200, 0).Border(0, 0, 100, 0, 0x123456, 2).Rail(0, 0, 100, 0).Border(0, 0, 100, 0, 0x123456, 2);
    // The start marks the same record at another index: no change.
    a.Start(0).Finish(1);
    b.Start(1).Finish(0);
    const std::string fileA = folder.Write("a.ks", a.Bytes()), fileB = folder.Write("b.ks", b.Bytes());
    const TToolRun text = RunKestMap({"diff", fileA, fileB});
    EXPECT_EQ(text.Status, 0) << text.Err;
    EXPECT_EQ(text.Out, "");
    const TToolRun json = RunKestMap({"diff", "--json", fileA, fileB});
    EXPECT_EQ(json.Status, 0);
    EXPECT_EQ(json.Out, "{\"same\":true,\"removed\":{\"borders\":[],\"rails\":[]},"
                        "\"added\":{\"borders\":[],\"rails\":[]}}\n");
}

// A map saved by the editor's own code after edits, against the file it was
// loaded from: the exact lines, in their order.
TEST(KestMapDiff, MapEditedAndSavedByTheEditor)
{
    const TTempFolder folder;
    const std::string before = folder.Write("ring.ks", RingMap().Bytes());
    TMap map;
    ReadMapFile(map, before);
    map.ReverseRail(1);
    map.SetBorderColor(0, 0xABCDEF);
    map.CycleBorderKind(1);
    map.DeleteRail(3);  // the finish rail: the finish goes with it
    const std::string after = folder.File("after.KS");
    WriteMapFile(map, after);
    const TToolRun run = RunKestMap({"diff", before, after});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_EQ(run.Out,
              "- border 0 0 300 0 kind 1 #00ff00\n"
              "- border 0 200 300 200 kind 3 #ff0000\n"
              "- rail 200 0 250 87\n"
              "- rail 200 174 100 174\n"
              "+ border 0 0 300 0 kind 1 #efcdab\n"
              "+ border 0 200 300 200 kind 0 #ff0000\n"
              "+ rail 250 87 200 0\n"
              "finish: rail 200 174 100 174 -> none\n");
}

TEST(KestMapDiff, DamagedMissingAndMisusedAreErrors)
{
    const TTempFolder folder;
    const std::string ring = folder.Write("ring.ks", RingMap().Bytes());
    std::vector<std::uint8_t> cut = RingMap().Bytes();
    cut.resize(cut.size() - 9);
    const std::string shortFile = folder.Write("short.ks", cut);
    const std::string kind4 = folder.Write("kind4.ks", TMapBytes().Border(0, 0, 10, 10, 0, 4).Bytes());
    const std::string missing = folder.File("missing.ks");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"diff", ring, kind4}, "kestmap: " + kind4 + ": Range check error\n"},
        {{"diff", "--json", shortFile, ring}, "kestmap: " + shortFile + ": Read beyond end of file\n"},
        {{"diff", missing, kind4},
         "kestmap: " + missing + ": No such file or directory\nkestmap: " + kind4 + ": Range check error\n"},
        {{"diff", folder.File(""), ring}, "kestmap: " + folder.File("") + ": Is a directory\n"},
        {{"render", "--diff", ring, kind4, folder.File("d.png")}, "kestmap: " + kind4 + ": Range check error\n"},
        {{"diff", ring}, "kestmap: diff wants two map files\nTry 'kestmap --help'.\n"},
        {{"diff", ring, ring, ring}, "kestmap: diff wants two map files\nTry 'kestmap --help'.\n"},
        {{"diff", "--size", "20", ring, ring}, "kestmap: --size applies to render only\nTry 'kestmap --help'.\n"},
        {{"check", "--diff", ring}, "kestmap: --diff applies to render only\nTry 'kestmap --help'.\n"},
        {{"render", "--diff", ring, folder.File("d.png")},
         "kestmap: render --diff wants two map files and one picture file\nTry 'kestmap --help'.\n"},
        {{"render", "--diff", ring, ring, ring},
         "kestmap: the picture file must end in .bmp or .png: '" + ring + "'\nTry 'kestmap --help'.\n"},
    };
    for (const Case& c : cases) {
        const TToolRun run = RunKestMap(c.args);
        EXPECT_EQ(run.Status, 2) << c.err;
        EXPECT_EQ(run.Out, "") << c.err;
        EXPECT_EQ(run.Err, c.err);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.File("d.png")));
}

// The picture is render's picture of B wherever the difference draws nothing:
// removed elements in red, added ones in green, a vanishing one as a 3 x 3 dot.
TEST(KestMapDiff, RenderDrawsRemovedInRedAndAddedInGreenOverB)
{
    const TTempFolder folder;
    TMapBytes a, b;
    a.Rail(1000, 1000, 9000, 1000).Rail(1000, 5000, 9000, 5000).Border(1000, 9000, 9000, 9000, 0x808080, 0);
    b.Rail(1000, 1000, 9000, 1000).Border(1000, 9000, 9000, 9000, 0x808080, 0).Rail(1000, 6000, 9000, 8000);
    b.Rail(5000, 8000, 5010, 8000);  // 10 units: one pixel of 100 at this size
    const std::string fileA = folder.Write("a.ks", a.Bytes()), fileB = folder.Write("b.ks", b.Bytes());
    const std::string plain = folder.File("b.png"), marked = folder.File("d.png");
    ASSERT_EQ(RunKestMap({"render", "--size", "100", fileB, plain}).Status, 0);
    const TToolRun run = RunKestMap({"render", "--diff", "--size", "100", fileA, fileB, marked});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QImage base = QImage(QString::fromStdString(plain)).convertToFormat(QImage::Format_RGB32);
    const QImage diff = QImage(QString::fromStdString(marked)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(diff.size(), QSize(100, 100));
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0);
    // The frame is b's: x and y 990..9010 onto 100 pixels.
    const auto pixel = [](int world) { return static_cast<int>((world - 990) * 100.0 / 8020.0 + 0.5); };
    int reds = 0, greens = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const QRgb p = diff.pixel(x, y);
            if (p == red) {
                ++reds;
                EXPECT_EQ(y, pixel(5000)) << "red off the removed rail at " << x;
            } else if (p == green) {
                ++greens;
            } else {
                EXPECT_EQ(p, base.pixel(x, y)) << x << ", " << y;
            }
        }
    EXPECT_EQ(reds, pixel(9000) - pixel(1000));
    const int dotX = pixel(5000), dotY = pixel(8000);
    for (int y = dotY - 1; y <= dotY + 1; ++y)
        for (int x = dotX - 1; x <= dotX + 1; ++x) EXPECT_EQ(diff.pixel(x, y), green) << x << ", " << y;
    EXPECT_EQ(diff.pixel(pixel(1000), pixel(6000)), green);
    EXPECT_EQ(greens, 9 + (pixel(9000) - pixel(1000)));
    // A picture named as either map is refused, and the map is left as it was.
    for (const std::string& map : {fileA, fileB}) {
        const std::vector<std::uint8_t> before = ReadBytes(map);
        EXPECT_EQ(RunKestMap({"render", "--diff", fileA, fileB, map}).Status, 2) << map;
        EXPECT_EQ(ReadBytes(map), before) << map;
    }
}

// Maps in memory may hold coordinates that no file can: one such element on
// both sides must change nothing in the difference, which is then found
// without packing the records into integers. Negative coordinates check that
// packing keeps the records' order.
TEST(KestMapDiff, CoordinatesBeyondSixteenBitsGiveTheSameDifference)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int32_t> coordinate(-3, 3), kind(0, 3), color(0, 2);
    const auto fill = [&](TMap& map) {
        std::vector<TRail> rails(200);
        std::vector<TBorder> borders(200);
        for (TRail& r : rails) r.X1 = coordinate(random), r.Y1 = coordinate(random), r.X2 = coordinate(random), r.Y2 = 7;
        for (TBorder& b : borders) {
            b.X1 = coordinate(random), b.Y1 = coordinate(random), b.X2 = coordinate(random), b.Y2 = 7;
            b.Kind = static_cast<std::uint8_t>(kind(random));
            b.Color = static_cast<TColor>(color(random)) * 0x7F0001;
        }
        map.AppendRails(rails);
        map.AppendBorders(borders);
        map.StartRail = 3;
    };
    TMap a, b;
    fill(a);
    fill(b);
    const TMapDiff packed = DiffMaps(a, b);
    ASSERT_FALSE(packed.RemovedRails.empty());
    ASSERT_FALSE(packed.AddedBorders.empty());
    TRail far;
    far.X1 = 40000;
    far.X2 = -40000;
    TBorder wide;
    wide.Y1 = 70000;
    for (TMap* map : {&a, &b}) {
        map->AppendRails(std::span(&far, 1));
        map->AppendBorders(std::span(&wide, 1));
    }
    const TMapDiff plain = DiffMaps(a, b);
    EXPECT_EQ(plain.RemovedRails, packed.RemovedRails);
    EXPECT_EQ(plain.AddedRails, packed.AddedRails);
    EXPECT_EQ(plain.RemovedBorders, packed.RemovedBorders);
    EXPECT_EQ(plain.AddedBorders, packed.AddedBorders);
    EXPECT_TRUE(std::is_sorted(packed.RemovedRails.begin(), packed.RemovedRails.end()));
    EXPECT_TRUE(std::is_sorted(packed.AddedBorders.begin(), packed.AddedBorders.end()));
    EXPECT_EQ(plain.StartA, packed.StartA);
}
