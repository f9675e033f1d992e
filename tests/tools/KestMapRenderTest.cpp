// kestmap render: the picture must be the editor's export pixel for pixel.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <iterator>

#include "ToolRunner.h"
#include "draw/Overview.h"
#include "draw/PictureExport.h"
#include "model/MapFile.h"
#include "model/TMap.h"
#include "platform/qt/QtCanvas.h"

namespace {

class TFixedFileDialog : public TFileDialog {
public:
    explicit TFixedFileDialog(std::string path) : path_(std::move(path)) {}
    bool Execute() override { return true; }
    std::string FileName() const override { return path_; }

private:
    std::string path_;
};

QImage Drawn(const std::string& mapFile, int size)
{
    TMap map;
    ReadMapFile(map, mapFile);
    TQtBitmap bitmap;
    bitmap.SetWidth(size);
    bitmap.SetHeight(size);
    DrawOverview(map, bitmap.Canvas(), size, size);
    return bitmap.Image().convertToFormat(QImage::Format_RGB32);
}

QImage Loaded(const std::string& picture)
{
    return QImage(QString::fromStdString(picture)).convertToFormat(QImage::Format_RGB32);
}

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TMapBytes Colourful()
{
    TMapBytes map = RingMap();
    map.Border(9000, 9000, 10000, 10000, 0x123456, 2).Border(5000, 0, 5000, 10000, 0xABCDEF, 0);
    map.Rail(300, 300, 9000, 8000).Rail(9000, 8000, 300, 310);
    return map.Start(7).Finish(3);
}

} // namespace

TEST(KestMapRender, MatchesTheOverviewAtEverySizeAndFormat)
{
    const TTempFolder folder;
    const std::string file = folder.Write("map.ks", Colourful().Bytes());
    struct Case {
        const char* picture;
        std::vector<std::string> size;
        int pixels;
    };
    const std::vector<Case> cases = {
        {"default.png", {}, 1000},
        {"small.PNG", {"--size", "16"}, 16},
        {"odd.bmp", {"--size=137"}, 137},
        {"upper.Bmp", {"--size", "301"}, 301},
    };
    for (const Case& c : cases) {
        const std::string picture = folder.File(c.picture);
        std::vector<std::string> args = {"render", file, picture};
        args.insert(args.begin() + 1, c.size.begin(), c.size.end());
        const TToolRun run = RunKestMap(args);
        ASSERT_EQ(run.Status, 0) << c.picture << ": " << run.Err;
        EXPECT_EQ(run.Out, "");
        const QImage written = Loaded(picture);
        ASSERT_EQ(written.width(), c.pixels) << c.picture;
        ASSERT_EQ(written.height(), c.pixels) << c.picture;
        EXPECT_TRUE(written == Drawn(file, c.pixels)) << c.picture;
    }
}

TEST(KestMapRender, BmpIsTheExportsFileByteForByte)
{
    const TTempFolder folder;
    const std::string file = folder.Write("map.ks", Colourful().Bytes());
    const std::string rendered = folder.File("rendered.bmp");
    const std::string exported = folder.File("exported.bmp");
    ASSERT_EQ(RunKestMap({"render", file, rendered}).Status, 0);

    TMap map;
    ReadMapFile(map, file);
    TFixedFileDialog dialog(exported);
    TQtBitmapFactory bitmaps;
    ASSERT_TRUE(ExportPicture(map, dialog, bitmaps));
    const std::string expected = Bytes(exported);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(Bytes(rendered) == expected);
}

TEST(KestMapRender, FailuresLeaveNoPicture)
{
    const TTempFolder folder;
    const std::string file = folder.Write("map.ks", RingMap().Bytes());
    const std::string damaged = folder.Write("damaged.ks", {2, 0, 0, 0, 1});

    const TToolRun badMap = RunKestMap({"render", damaged, folder.File("a.png")});
    EXPECT_EQ(badMap.Status, 2);
    EXPECT_EQ(badMap.Err, "kestmap: " + damaged + ": Read beyond end of file\n");
    EXPECT_FALSE(std::filesystem::exists(folder.File("a.png")));

    const TToolRun missingMap = RunKestMap({"render", folder.File("none.ks"), folder.File("b.png")});
    EXPECT_EQ(missingMap.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(folder.File("b.png")));

    for (const char* name : {"no/such/folder/c.png", "no/such/folder/c.bmp"}) {
        const std::string picture = folder.File(name);
        const TToolRun unwritable = RunKestMap({"render", file, picture});
        EXPECT_EQ(unwritable.Status, 2) << name;
        EXPECT_EQ(unwritable.Err.rfind("kestmap: " + picture + ": ", 0), 0u) << unwritable.Err;
    }
}

TEST(KestMapRender, APictureNeverReplacesTheMapItIsDrawnFrom)
{
    // The map itself, through a link, through another spelling of its path
    // and through a hard link: refused before anything is read or written.
    const TTempFolder folder;
    const std::vector<std::uint8_t> bytes = RingMap().Bytes();
    const std::string map = folder.Write("map.png", bytes);
    std::filesystem::create_symlink(map, folder.File("link.bmp"));
    std::filesystem::create_hard_link(map, folder.File("hard.BMP"));
    const std::string aliases[] = {map, folder.File("link.bmp"), folder.File("./map.png"), folder.File("hard.BMP")};
    for (const std::string& picture : aliases) {
        SCOPED_TRACE(picture);
        for (const std::string& from : {map, folder.File("link.bmp")}) {
            const TToolRun run = RunKestMap({"render", from, picture});
            EXPECT_EQ(run.Status, 2);
            EXPECT_EQ(run.Err, "kestmap: " + picture + ": is the map file itself; give the picture another name\n");
        }
        EXPECT_EQ(ReadBytes(map), bytes);
    }
    // Another picture beside it is drawn as ever.
    EXPECT_EQ(RunKestMap({"render", folder.File("link.bmp"), folder.File("map2.png")}).Status, 0);
    EXPECT_EQ(ReadBytes(map), bytes);
}
