// kestmap's command line: help, version and the usage errors (status 2).
#include <gtest/gtest.h>

#include "ToolRunner.h"

TEST(KestMapUsage, HelpAndVersion)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"info", "--help"}, {"render", "x.ks", "--help"}}) {
        const TToolRun run = RunKestMap(args);
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Out.rfind("Usage: kestmap COMMAND [OPTIONS] FILE...\n", 0), 0u) << run.Out;
        EXPECT_NE(run.Out.find("render FILE OUT"), std::string::npos);
        EXPECT_EQ(run.Err, "");
    }
    const TToolRun version = RunKestMap({"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, "kestmap 1.0.0\n");
}

TEST(KestMapUsage, MistakesAreUsageErrors)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, "no command given"},
        {{"list", "a.ks"}, "unknown command 'list'"},
        {{"info"}, "no map file given"},
        {{"check", "--json"}, "no map file given"},
        {{"info", "--bogus", "a.ks"}, "unknown option '--bogus'"},
        {{"info", "--size", "100", "a.ks"}, "--size applies to render only"},
        {{"render", "--json", "a.ks", "a.png"}, "--json applies to info and check only"},
        {{"render", "a.ks"}, "render wants one map file and one picture file"},
        {{"render", "a.ks", "b.png", "c.png"}, "render wants one map file and one picture file"},
        {{"render", "a.ks", "a.jpg"}, "the picture file must end in .bmp or .png: 'a.jpg'"},
        {{"render", "a.ks", "picture"}, "the picture file must end in .bmp or .png: 'picture'"},
        {{"render", "a.ks", "dir.png/pic"}, "the picture file must end in .bmp or .png: 'dir.png/pic'"},
        {{"render", "--size", "15", "a.ks", "a.png"}, "--size wants a whole number from 16 to 8000, not '15'"},
        {{"render", "--size", "8001", "a.ks", "a.png"}, "--size wants a whole number from 16 to 8000, not '8001'"},
        {{"render", "--size=12x", "a.ks", "a.png"}, "--size wants a whole number from 16 to 8000, not '12x'"},
        {{"render", "--size", "99999999999", "a.ks", "a.png"},
         "--size wants a whole number from 16 to 8000, not '99999999999'"},
        {{"render", "a.ks", "a.png", "--size"}, "--size wants a value"},
    };
    for (const Case& c : cases) {
        const TToolRun run = RunKestMap(c.args);
        EXPECT_EQ(run.Status, 2) << c.message;
        EXPECT_EQ(run.Out, "") << c.message;
        EXPECT_EQ(run.Err, std::string("kestmap: ") + c.message + "\nTry 'kestmap --help'.\n");
    }
}

TEST(KestMapUsage, DoubleDashMakesOptionLikeNamesFiles)
{
    const TTempFolder folder;
    const std::string file = folder.Write("--json", RingMap().Bytes());
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path(""));
    const TToolRun run = RunKestMap({"info", "--", "--json"});
    std::filesystem::current_path(before);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("--json\n  size     88 bytes\n", 0), 0u) << run.Out;
}
