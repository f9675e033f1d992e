// kestmap check: the editor's route check with every fault in the order found,
// the rail the editor would select, the links after loading, and the exit status.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <utility>

#include "ToolRunner.h"

namespace {

using TFaultList = std::vector<std::pair<int, std::string>>;

TFaultList FaultsOf(const QJsonObject& check)
{
    TFaultList faults;
    for (const QJsonValue& fault : check["faults"].toArray())
        faults.emplace_back(fault["rail"].toInt(), Utf8(fault["kind"].toString()));
    return faults;
}

QJsonObject CheckJson(const TTempFolder& folder, const std::string& name, const TMapBytes& map, int status)
{
    const std::string file = folder.Write(name, map.Bytes());
    const TToolRun run = RunKestMap({"check", "--json", file});
    EXPECT_EQ(run.Status, status) << name << ": " << run.Err;
    EXPECT_EQ(Lines(run.Out).size(), 1u) << name;
    return JsonLine(run.Out);
}

TMapBytes Square()
{
    TMapBytes map;
    map.Rail(0, 0, 100, 0).Rail(100, 0, 100, 100).Rail(100, 100, 0, 100).Rail(0, 100, 0, 0);
    return map;
}

} // namespace

TEST(KestMapCheck, ValidRingIsLinkedRailByRail)
{
    const TTempFolder folder;
    const QJsonObject check = CheckJson(folder, "ring.ks", RingMap(), 0);
    EXPECT_TRUE(check["valid"].toBool());
    EXPECT_EQ(check["fault_rail"].toInt(), -1);
    EXPECT_TRUE(check["faults"].toArray().isEmpty());
    EXPECT_EQ(check["start"].toInt(), 0);
    EXPECT_EQ(check["finish"].toInt(), 3);
    const QJsonArray rails = check["rails"].toArray();
    ASSERT_EQ(rails.size(), 6);
    for (int i = 0; i < 6; ++i) {
        const QJsonObject rail = rails[i].toObject();
        EXPECT_EQ(rail["index"].toInt(), i);
        EXPECT_EQ(rail["next1"].toInt(), (i + 1) % 6) << i;
        EXPECT_EQ(rail["next2"].toInt(), (i + 1) % 6) << i;
        EXPECT_EQ(rail["prev1"].toInt(), (i + 5) % 6) << i;
        EXPECT_EQ(rail["prev2"].toInt(), (i + 5) % 6) << i;
    }
    EXPECT_EQ(rails[2].toObject()["x1"].toInt(), 250);
    EXPECT_EQ(rails[2].toObject()["y1"].toInt(), 87);
    EXPECT_EQ(rails[2].toObject()["x2"].toInt(), 200);
    EXPECT_EQ(rails[2].toObject()["y2"].toInt(), 174);

    const std::string file = folder.File("ring.ks");
    const TToolRun text = RunKestMap({"check", file});
    EXPECT_EQ(text.Status, 0);
    EXPECT_EQ(text.Out, file + ": valid\n");
}

TEST(KestMapCheck, EveryKindOfFaultInTheOrderFound)
{
    struct Case {
        const char* name;
        TMapBytes map;
        int faultRail;
        TFaultList faults;
    };
    TMapBytes fork;
    fork.Rail(0, 100, 100, 100).Rail(100, 100, 200, 110).Rail(100, 100, 200, 90).Rail(100, 100, 200, 100);
    TMapBytes merge;
    merge.Rail(0, 110, 100, 100).Rail(0, 90, 100, 100).Rail(0, 100, 100, 100).Rail(100, 100, 200, 100);
    const std::vector<Case> cases = {
        {"fork.ks", fork.Start(0).Finish(1), 3,
         {{0, "third_successor"}, {1, "no_successor"}, {2, "no_successor"}, {3, "no_successor"},
          {0, "no_predecessor"}, {3, "no_predecessor"}}},
        // The third predecessor fails both links of the pair, so it is found twice.
        {"merge.ks", merge.Start(0).Finish(3), 2,
         {{3, "third_predecessor"}, {3, "third_predecessor"}, {3, "no_successor"},
          {0, "no_predecessor"}, {1, "no_predecessor"}, {2, "no_predecessor"}}},
        {"square.ks", Square().Start(0).Finish(2), 3,
         {{0, "no_successor"}, {1, "no_successor"}, {2, "no_successor"}, {3, "no_successor"},
          {0, "no_predecessor"}, {1, "no_predecessor"}, {2, "no_predecessor"}, {3, "no_predecessor"}}},
        {"no-start.ks", RingMap().Start(-1), -1, {{-1, "no_start"}}},
        {"no-finish.ks", RingMap().Finish(-1), -1, {{-1, "no_finish"}}},
        {"start-past-end.ks", RingMap().Start(6), -1, {{-1, "no_start"}}},
        {"no-rails.ks", TMapBytes(), -1, {{-1, "no_start"}, {-1, "no_finish"}}},
    };
    const TTempFolder folder;
    for (const Case& c : cases) {
        const QJsonObject check = CheckJson(folder, c.name, c.map, 1);
        EXPECT_FALSE(check["valid"].toBool()) << c.name;
        EXPECT_EQ(check["fault_rail"].toInt(), c.faultRail) << c.name;
        EXPECT_EQ(FaultsOf(check), c.faults) << c.name;
    }
}

TEST(KestMapCheck, ForkKeepsTheEditorsSlotOrder)
{
    TMapBytes fork;
    fork.Rail(0, 100, 100, 100).Rail(100, 100, 200, 110).Rail(100, 100, 200, 90).Rail(100, 100, 200, 100);
    const TTempFolder folder;
    const QJsonArray rails = CheckJson(folder, "fork.ks", fork.Start(0).Finish(1), 1)["rails"].toArray();
    ASSERT_EQ(rails.size(), 4);
    EXPECT_EQ(rails[0].toObject()["next1"].toInt(), 1) << "the clockwise turn takes slot 1";
    EXPECT_EQ(rails[0].toObject()["next2"].toInt(), 2);
    EXPECT_EQ(rails[3].toObject()["prev1"].toInt(), -1) << "the third candidate is not joined";
}

TEST(KestMapCheck, RailsAreListedAsKeptAfterLoading)
{
    TMapBytes map;
    map.Rail(20, 20, 25, 20).Rail(100, 100, 200, 100).Rail(200, 100, 100, 100).Start(1).Finish(2);
    const TTempFolder folder;
    const QJsonObject check = CheckJson(folder, "short.ks", map, 1);
    const QJsonArray rails = check["rails"].toArray();
    ASSERT_EQ(rails.size(), 2) << "the short rail is gone";
    EXPECT_EQ(rails[0].toObject()["x1"].toInt(), 100);
    EXPECT_EQ(rails[1].toObject()["x1"].toInt(), 200);
    EXPECT_EQ(check["start"].toInt(), 0);
    EXPECT_EQ(check["finish"].toInt(), 1);
    // The two rails run back along each other: not joined, so each lacks links.
    EXPECT_EQ(FaultsOf(check), (TFaultList{{0, "no_successor"}, {1, "no_successor"},
                                           {0, "no_predecessor"}, {1, "no_predecessor"}}));
}

TEST(KestMapCheck, TextNamesTheSelectedRailAndEachFault)
{
    const TTempFolder folder;
    const std::string square = folder.Write("square.ks", Square().Bytes());
    const TToolRun run = RunKestMap({"check", square});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, square + ": 10 faults; the editor selects rail 3\n"
                                "  rail 0      no successor\n"
                                "  rail 1      no successor\n"
                                "  rail 2      no successor\n"
                                "  rail 3      no successor\n"
                                "  rail 0      no predecessor\n"
                                "  rail 1      no predecessor\n"
                                "  rail 2      no predecessor\n"
                                "  rail 3      no predecessor\n"
                                "  map         no start rail\n"
                                "  map         no finish rail\n");

    const std::string noFinish = folder.Write("no-finish.ks", RingMap().Finish(-1).Bytes());
    const TToolRun one = RunKestMap({"check", noFinish});
    EXPECT_EQ(one.Out, noFinish + ": 1 fault; the editor selects no rail\n"
                                  "  map         no finish rail\n");
}

TEST(KestMapCheck, ExitStatusOfSeveralFiles)
{
    const TTempFolder folder;
    const std::string valid = folder.Write("valid.ks", RingMap().Bytes());
    const std::string faulty = folder.Write("faulty.ks", Square().Bytes());
    const std::string damaged = folder.Write("damaged.ks", {0, 0, 0});

    struct Case {
        std::vector<std::string> files;
        int status;
        std::size_t reports;
    };
    const std::vector<Case> cases = {
        {{valid, valid}, 0, 2},
        {{valid, faulty, valid}, 1, 3},
        {{faulty, damaged, valid}, 2, 2},  // a damaged file outranks a fault
        {{damaged, faulty}, 2, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"check", "--json"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const TToolRun run = RunKestMap(args);
        EXPECT_EQ(run.Status, c.status) << run.Err;
        const auto lines = Lines(run.Out);
        ASSERT_EQ(lines.size(), c.reports) << run.Out;
        std::size_t line = 0;
        for (const std::string& file : c.files) {
            if (file == damaged) continue;
            EXPECT_EQ(Utf8(JsonLine(lines[line++])["file"].toString()), file);
        }
    }
}

TEST(KestMapCheck, ALongListOfRailsStreamsWholeAndNoRailsLeavesOnlyItOut)
{
    // Far more JSON than one block of the writer: the object must still come
    // out whole, in order, on one line.
    const TTempFolder folder;
    TMapBytes map;
    const int count = 3000;
    // Rows of 900 rails, all inside the world so that loading keeps them.
    const auto x = [](int i) { return 10 * (i % 900); };
    const auto y = [](int i) { return 100 + 20 * (i / 900); };
    for (int i = 0; i < count; ++i) map.Rail(x(i), y(i), x(i) + 10, y(i));
    const std::string file = folder.Write("long.ks", map.Start(0).Finish(count - 1).Bytes());
    const TToolRun full = RunKestMap({"check", "--json", file});
    ASSERT_EQ(Lines(full.Out).size(), 1u);
    ASSERT_GT(full.Out.size(), 128u * 1024u);
    const QJsonObject all = JsonLine(full.Out);
    const QJsonArray rails = all["rails"].toArray();
    ASSERT_EQ(rails.size(), count);
    for (int i = 0; i < count; ++i) ASSERT_EQ(rails[i].toObject()["index"].toInt(), i);
    EXPECT_EQ(rails[count - 1].toObject()["x2"].toInt(), x(count - 1) + 10);

    const TToolRun brief = RunKestMap({"check", "--json", "--no-rails", file});
    EXPECT_EQ(brief.Status, full.Status);
    QJsonObject withoutRails = all;
    withoutRails.remove("rails");
    EXPECT_EQ(JsonLine(brief.Out), withoutRails);
    EXPECT_LT(brief.Out.size(), 1024u);

    for (const std::vector<std::string>& misuse :
         {std::vector<std::string>{"check", "--no-rails", file}, {"info", "--json", "--no-rails", file}}) {
        const TToolRun run = RunKestMap(misuse);
        EXPECT_EQ(run.Status, 2);
        EXPECT_NE(run.Err.find("--no-rails applies to check --json only"), std::string::npos) << run.Err;
    }
}
