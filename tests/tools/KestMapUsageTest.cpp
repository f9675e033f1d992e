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
        {{"render", "--json", "a.ks", "a.png"}, "--json applies to info, check and diff only"},
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
    std::filesystem::current_path(folder.File(""));
    const TToolRun run = RunKestMap({"info", "--", "--json"});
    std::filesystem::current_path(before);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("--json\n  size     88 bytes\n", 0), 0u) << run.Out;
}

// The forms the parser accepts beyond the plain ones: combined short options,
// a value joined with '=', options after the files, and "-" as a file name.
TEST(KestMapUsage, ParserFormsOfOptionsAndNames)
{
    const TToolRun combined = RunKestMap({"-hv"});
    EXPECT_EQ(combined.Status, 0);
    EXPECT_EQ(combined.Out.rfind("Usage: kestmap", 0), 0u) << combined.Out;

    const TTempFolder folder;
    const std::string ring = folder.Write("ring.ks", RingMap().Bytes());
    const TToolRun joined = RunKestMap({"render", ring, folder.File("a.bmp"), "--size=32"});
    EXPECT_EQ(joined.Status, 0) << joined.Err;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.File("a.bmp")));

    const TToolRun late = RunKestMap({"check", ring, "--json"});
    EXPECT_EQ(late.Status, 0) << late.Err;
    EXPECT_EQ(late.Out.rfind("{\"file\":", 0), 0u) << late.Out;

    const TToolRun dash = RunKestMap({"info", "-"});
    EXPECT_EQ(dash.Status, 2);
    EXPECT_EQ(dash.Err.rfind("kestmap: -: ", 0), 0u) << dash.Err;

    const TToolRun valued = RunKestMap({"info", "--json=yes", ring});
    EXPECT_EQ(valued.Status, 2);
    EXPECT_NE(valued.Err.find("--json"), std::string::npos) << valued.Err;
}

// The one test of the built program: its main hands the arguments over as
// bytes, it runs with no display at all, and its exit status reaches the shell.
TEST(KestMapUsage, TheBuiltProgramNeedsNoDisplayAndKeepsRawNames)
{
    const TTempFolder folder;
    const std::string ring = folder.Write("ring\xFF\xFE.ks", RingMap().Bytes());
    const TToolRun info = RunKestMapProgram({"info", ring});
    EXPECT_EQ(info.Status, 0) << info.Err;
    EXPECT_EQ(info.Out.rfind(ring + "\n  size     88 bytes\n", 0), 0u) << info.Out;

    const std::string picture = folder.File("ring.png");
    const TToolRun render = RunKestMapProgram({"render", "--size", "64", ring, picture});
    EXPECT_EQ(render.Status, 0) << render.Err;
    EXPECT_TRUE(std::filesystem::is_regular_file(picture));

    const TToolRun faults = RunKestMapProgram({"check", ring, folder.File("missing.ks")});
    EXPECT_EQ(faults.Status, 2);
    EXPECT_EQ(faults.Out, ring + ": valid\n");
    EXPECT_EQ(faults.Err.rfind("kestmap: " + folder.File("missing.ks") + ": ", 0), 0u) << faults.Err;
}
