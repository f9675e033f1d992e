// kestmap info: counts as stored and as kept, start, finish, bounds, size, and
// the handling of damaged, missing and oddly named files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include <QJsonObject>

#include "ToolRunner.h"

TEST(KestMapInfo, RingInJsonHasEveryKey)
{
    const TTempFolder folder;
    const std::string file = folder.Write("ring.ks", RingMap().Bytes());
    const TToolRun run = RunKestMap({"info", "--json", file});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 1u);
    const QJsonObject info = JsonLine(lines[0]);
    EXPECT_EQ(Utf8(info["file"].toString()), file);
    EXPECT_EQ(info["size_bytes"].toInt(), 16 + 2 * 12 + 6 * 8);
    EXPECT_EQ(info["borders_stored"].toInt(), 2);
    EXPECT_EQ(info["rails_stored"].toInt(), 6);
    EXPECT_EQ(info["borders"].toInt(), 2);
    EXPECT_EQ(info["rails"].toInt(), 6);
    EXPECT_EQ(info["start"].toInt(), 0);
    EXPECT_EQ(info["finish"].toInt(), 3);
    const QJsonObject bounds = info["bounds"].toObject();
    // Rails span x 50..250 and y 0..174, the borders x 0..300 and y 0..200.
    EXPECT_EQ(bounds["min_x"].toInt(), -10);
    EXPECT_EQ(bounds["min_y"].toInt(), -10);
    EXPECT_EQ(bounds["max_x"].toInt(), 310);
    EXPECT_EQ(bounds["max_y"].toInt(), 210);
}

TEST(KestMapInfo, CountsWhatLoadingRemovesAndFollowsTheStartRail)
{
    TMapBytes map;
    map.Border(10, 10, 10001, 10).Border(5, 5, 5, 5);       // outside the world; a dot that stays
    map.Rail(65535, 0, 0, 0).Rail(20, 20, 29, 20).Rail(100, 100, 200, 100);  // outside, too short, kept
    map.Start(2).Finish(1);
    const TTempFolder folder;
    const std::string file = folder.Write("cleaned.ks", map.Bytes());

    const TToolRun json = RunKestMap({"info", file, "--json"});
    ASSERT_EQ(json.Status, 0) << json.Err;
    const QJsonObject info = JsonLine(Lines(json.Out).at(0));
    EXPECT_EQ(info["borders_stored"].toInt(), 2);
    EXPECT_EQ(info["rails_stored"].toInt(), 3);
    EXPECT_EQ(info["borders"].toInt(), 1);
    EXPECT_EQ(info["rails"].toInt(), 1);
    EXPECT_EQ(info["start"].toInt(), 0) << "the kept rail moved from index 2 to 0";
    EXPECT_EQ(info["finish"].toInt(), -1) << "the finish rail was too short";

    const TToolRun text = RunKestMap({"info", file});
    ASSERT_EQ(text.Status, 0) << text.Err;
    EXPECT_EQ(text.Out, file + "\n"
                               "  size     64 bytes\n"
                               "  borders  1 kept of 2 stored\n"
                               "  rails    1 kept of 3 stored\n"
                               "  start    rail 0\n"
                               "  finish   none\n"
                               "  bounds   x -5..210, y -5..110\n");
}

TEST(KestMapInfo, DamagedFilesAreErrorsNamingFileAndReason)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::string> reasons;  // any one of them
    };
    auto kindFour = TMapBytes().Border(1, 2, 3, 4, 0, 4).Bytes();
    auto truncated = RingMap().Bytes();
    truncated.resize(truncated.size() - 5);
    const std::vector<std::uint8_t> negativeCount = {0xFF, 0xFF, 0xFF, 0xFF};
    const std::vector<std::uint8_t> hugeCount = {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
    const std::vector<Case> cases = {
        {"kind-four.ks", kindFour, {"Range check error"}},
        {"truncated.ks", truncated, {"Read beyond end of file"}},
        {"empty-file.ks", {}, {"Read beyond end of file"}},
        {"negative-count.ks", negativeCount, {"Range check error"}},
        {"huge-count.ks", hugeCount, {"Read beyond end of file", "Out of memory", "Range check error"}},
    };
    const TTempFolder folder;
    for (const Case& c : cases) {
        const std::string file = folder.Write(c.name, c.bytes);
        for (const char* command : {"info", "check"}) {
            const TToolRun run = RunKestMap({command, file});
            EXPECT_EQ(run.Status, 2) << c.name << ' ' << command;
            EXPECT_EQ(run.Out, "") << c.name << ' ' << command;
            bool named = false;
            for (const std::string& reason : c.reasons)
                named = named || run.Err == "kestmap: " + file + ": " + reason + "\n";
            EXPECT_TRUE(named) << c.name << ' ' << command << ": " << run.Err;
        }
    }
}

TEST(KestMapInfo, LaterFilesAreReadAfterBadOnes)
{
    const TTempFolder folder;
    const std::string first = folder.Write("first.ks", RingMap().Bytes());
    const std::string missing = folder.File("missing.ks");
    const std::string damaged = folder.Write("damaged.ks", {1, 0, 0});
    const std::string last = folder.Write("last.ks", TMapBytes().Rail(0, 0, 0, 100).Bytes());

    const TToolRun run = RunKestMap({"info", "--json", first, missing, damaged, last});
    EXPECT_EQ(run.Status, 2);
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 2u) << run.Out;
    EXPECT_EQ(Utf8(JsonLine(lines[0])["file"].toString()), first);
    EXPECT_EQ(Utf8(JsonLine(lines[1])["file"].toString()), last);
    EXPECT_EQ(JsonLine(lines[1])["rails"].toInt(), 1);
    EXPECT_EQ(run.Err, "kestmap: " + missing + ": No such file or directory\n"
                       "kestmap: " + damaged + ": Read beyond end of file\n");

    // A missing file is never quietly taken for a new, empty map.
    const TToolRun alone = RunKestMap({"info", missing});
    EXPECT_EQ(alone.Status, 2);
    EXPECT_EQ(alone.Out, "");
    const TToolRun folderAsMap = RunKestMap({"info", folder.File("")});
    EXPECT_EQ(folderAsMap.Status, 2);
    EXPECT_NE(folderAsMap.Err.find("Is a directory"), std::string::npos) << folderAsMap.Err;

    // A pipe with no writer must not hang the tool waiting for one.
    const std::string pipe = folder.File("pipe.ks");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const TToolRun fromPipe = RunKestMap({"check", pipe, first});
    EXPECT_EQ(fromPipe.Status, 2);
    EXPECT_EQ(fromPipe.Err, "kestmap: " + pipe + ": not a regular file\n");
    EXPECT_EQ(Lines(fromPipe.Out).size(), 1u);
}

TEST(KestMapInfo, TextBlocksAreSeparatedPerFile)
{
    const TTempFolder folder;
    const std::string a = folder.Write("a.ks", RingMap().Bytes());
    const std::string b = folder.Write("b.ks", TMapBytes().Bytes());
    const TToolRun run = RunKestMap({"info", a, b});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 15u) << run.Out;
    EXPECT_EQ(lines[0], a);
    EXPECT_EQ(lines[2], "  borders  2");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], b);
    EXPECT_EQ(lines[9], "  size     16 bytes");
    EXPECT_EQ(lines[14], "  bounds   x -10..10, y -10..10");
}

TEST(KestMapInfo, FileNamesAreEscapedInJson)
{
    const TTempFolder folder;
    const std::vector<std::string> names = {
        "quote\"back\\slash.ks",
        "tab\tnew\nline\x01\x1f\x7f.ks",
        "Карта поля.ks",
        "emoji \xF0\x9F\x9A\x82.ks",
    };
    for (const std::string& name : names) {
        const std::string file = folder.Write(name, RingMap().Bytes());
        const TToolRun run = RunKestMap({"info", "--json", file});
        ASSERT_EQ(run.Status, 0) << name << ": " << run.Err;
        ASSERT_EQ(run.Out.back(), '\n');
        EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1) << "one line per file: " << run.Out;
        // Qt's reader tolerates raw control characters; the JSON grammar does not.
        EXPECT_TRUE(std::all_of(run.Out.begin(), run.Out.end() - 1,
                                [](char c) { return static_cast<unsigned char>(c) >= 0x20; }))
            << run.Out;
        EXPECT_EQ(Utf8(JsonLine(run.Out)["file"].toString()), file);
    }

    // Bytes that are no UTF-8 still give valid JSON, with U+FFFD in their place.
    const std::string file = folder.Write("bad\xFF\xC0\x80utf8.ks", RingMap().Bytes());
    const TToolRun run = RunKestMap({"info", "--json", file});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Utf8(JsonLine(run.Out)["file"].toString()),
              folder.File("bad\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDutf8.ks"));
}
