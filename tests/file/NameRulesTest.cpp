// The forced extension and the display name, on Windows and Linux paths.
#include <gtest/gtest.h>

#include "model/MapFile.h"
#include "model/TMap.h"

namespace {

struct TNameCase {
    std::string Path;
    std::string Forced;
    std::string Display;
};

TEST(NameRules, ForcedExtensionAndDisplayName)
{
    const std::vector<TNameCase> cases = {
        {"", ".KS", "Новый"},
        {"C:\\maps\\a.ks", "C:\\maps\\a.KS", "a"},
        {"C:\\maps\\a", "C:\\maps\\a.KS", "a"},
        {"C:\\maps\\a.old.ks", "C:\\maps\\a.KS", "a"},
        {"C:\\maps\\field.ks", "C:\\maps\\field.KS", "field"},
        {"C:\\maps\\field.old.ks", "C:\\maps\\field.KS", "field"},
        {"C:\\maps\\", "C:\\maps\\.KS", "Новый"},
        {"C:\\maps\\Новый.ks", "C:\\maps\\Новый.KS", "Новый"},
        // A dot in a folder name no longer cuts the path there.
        {"C:\\my.maps\\a.ks", "C:\\my.maps\\a.KS", "a"},
        {"C:\\my.maps\\a", "C:\\my.maps\\a.KS", "a"},
        {"/home/u/.maps/a.ks", "/home/u/.maps/a.KS", "a"},
        {"/home/u/maps/Карта.KS", "/home/u/maps/Карта.KS", "Карта"},
        {"./a.ks", "./a.KS", "a"},
        {"../x.y/b", "../x.y/b.KS", "b"},
        {"a.ks", "a.KS", "a"},
        {"/home/u/", "/home/u/.KS", "Новый"},
        {"C:a.b.ks", "C:a.KS", "C:a"},
        {"mixed\\dir/name.ks", "mixed\\dir/name.KS", "name"},
    };
    for (const TNameCase& c : cases) {
        EXPECT_EQ(c.Forced, ForceExtension(c.Path)) << c.Path;
        TMap map;
        map.FileName = c.Path;
        EXPECT_EQ(c.Display, map.DisplayName()) << c.Path;
    }
}

TEST(NameRules, ALeadingDotBelongsToTheFileName)
{
    const std::vector<TNameCase> cases = {
        {"/home/u/.hidden", "/home/u/.hidden.KS", ".hidden"},
        {"C:\\maps\\.hidden.old.ks", "C:\\maps\\.hidden.KS", ".hidden"},
        {".hidden", ".hidden.KS", ".hidden"},
        {"/x/..twice.ks", "/x/..twice.KS", "..twice"},
        {"/x/.ks.bak", "/x/.ks.KS", ".ks"},
        // What forcing makes of an empty name stays a name of its own, and a
        // name of dots alone is no name.
        {"/home/u/.KS", "/home/u/.KS", "Новый"},
        {"/home/u/.ks", "/home/u/.KS", "Новый"},
        {"/home/u/..", "/home/u/.KS", "Новый"},
    };
    for (const TNameCase& c : cases) {
        EXPECT_EQ(c.Forced, ForceExtension(c.Path)) << c.Path;
        EXPECT_EQ(c.Forced, ForceExtension(c.Forced)) << c.Path;
        TMap map;
        map.FileName = c.Path;
        EXPECT_EQ(c.Display, map.DisplayName()) << c.Path;
    }
}

TEST(NameRules, ForcingTwiceChangesNothing)
{
    for (const std::string path : {"C:\\my.maps\\a.old.ks", "/x/.y/z", "plain"}) {
        const std::string once = ForceExtension(path);
        EXPECT_EQ(once, ForceExtension(once)) << path;
    }
}

} // namespace
