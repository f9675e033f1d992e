// The example maps do what the README says they show.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <fstream>
#include <iterator>
#include <set>

#include "ToolRunner.h"

namespace {

const std::string Examples = KEST_TEST_DATA "/../../examples/";

std::vector<std::uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QJsonObject Check(const std::string& name, int status)
{
    const TToolRun run = RunKestMap({"check", "--json", Examples + name});
    EXPECT_EQ(run.Status, status) << name << ": " << run.Err;
    return JsonLine(run.Out);
}

QJsonObject Info(const std::string& name)
{
    const TToolRun run = RunKestMap({"info", "--json", Examples + name});
    EXPECT_EQ(run.Status, 0) << name << ": " << run.Err;
    return JsonLine(run.Out);
}

} // namespace

TEST(KestMapExamples, TheYardIsSoundWithBordersOfEveryKindInTheOpeningView)
{
    const QJsonObject check = Check("yard.KS", 0);
    EXPECT_TRUE(check["valid"].toBool());
    // A passing siding: some rail has two successors and some rail two predecessors.
    bool fork = false;
    bool merge = false;
    for (const QJsonValue& rail : check["rails"].toArray()) {
        fork = fork || rail["next1"].toInt() != rail["next2"].toInt();
        merge = merge || rail["prev1"].toInt() != rail["prev2"].toInt();
    }
    EXPECT_TRUE(fork && merge);

    const QJsonObject info = Info("yard.KS");
    EXPECT_EQ(info["borders"].toInt(), info["borders_stored"].toInt());
    EXPECT_EQ(info["rails"].toInt(), info["rails_stored"].toInt());
    const QJsonObject bounds = info["bounds"].toObject();
    EXPECT_GE(bounds["min_x"].toInt(), 0);
    EXPECT_GE(bounds["min_y"].toInt(), 0);
    EXPECT_LE(bounds["max_x"].toInt(), 718);
    EXPECT_LE(bounds["max_y"].toInt(), 600);

    // Every kind is the byte after each border's colour: 12-byte records after the count.
    const std::vector<std::uint8_t> bytes = FileBytes(Examples + "yard.KS");
    std::set<int> kinds;
    for (int k = 0; k < info["borders"].toInt(); ++k) kinds.insert(bytes.at(4 + 12 * static_cast<std::size_t>(k) + 11));
    EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3}));
}

TEST(KestMapExamples, TheWrongWayLoopFailsAtItsLastRailBeyondTheOpeningView)
{
    const QJsonObject check = Check("wrong-way.KS", 1);
    const int fault = check["fault_rail"].toInt();
    const QJsonArray rails = check["rails"].toArray();
    EXPECT_EQ(fault, rails.size() - 1);
    EXPECT_GT(rails[fault]["x1"].toInt(), 718);
}

TEST(KestMapExamples, TheLowerCaseRingIsSound)
{
    const QJsonObject check = Check("ring.ks", 0);
    EXPECT_TRUE(check["valid"].toBool());
}
