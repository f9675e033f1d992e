#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <memory>
#include <vector>

#include "draw/Overview.h"
#include "draw/PictureExport.h"
#include "model/Errors.h"
#include "platform/qt/QtCanvas.h"
#include "tests/draw/DrawTestMaps.h"
#include "tests/support/RecordingCanvas.h"
#include "tests/support/TempFolder.h"

namespace {

/// A picture dialog that answers from a script and logs its runs.
class TScriptedPictureDialog : public TFileDialog {
public:
    TScriptedPictureDialog(bool choose, std::string name, std::vector<std::string>* log = nullptr)
        : choose_(choose), name_(std::move(name)), log_(log)
    {
    }
    bool Execute() override
    {
        ++Runs;
        if (log_) log_->push_back("Dialog");
        return choose_;
    }
    std::string FileName() const override { return name_; }
    int Runs = 0;

private:
    bool choose_;
    std::string name_;
    std::vector<std::string>* log_;
};

/// A fresh folder, removed when the test program ends.
std::filesystem::path ExportFolder()
{
    static std::vector<std::unique_ptr<TTempFolder>> folders;
    folders.push_back(std::make_unique<TTempFolder>());
    return folders.back()->Path();
}

} // namespace

TEST(PictureExport, WritesTheOverviewAsA1000SquareBmp)
{
    const TMap map = drawtest::SampleMap();
    const std::string path = (ExportFolder() / "sample.bmp").string();
    TScriptedPictureDialog dialog(true, path);
    TQtBitmapFactory bitmaps;
    ASSERT_TRUE(ExportPicture(map, dialog, bitmaps));

    QImage written;
    ASSERT_TRUE(written.load(QString::fromStdString(path), "BMP"));
    ASSERT_EQ(written.size(), QSize(1000, 1000));
    TQtBitmap direct;
    direct.SetWidth(1000);
    direct.SetHeight(1000);
    DrawOverview(map, direct.Canvas(), 1000, 1000);
    const QImage expected = direct.Image().convertToFormat(QImage::Format_RGB32);
    const QImage actual = written.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1000; ++x)
            if ((expected.pixel(x, y) & 0xFFFFFF) != (actual.pixel(x, y) & 0xFFFFFF)) ++differing;
    EXPECT_EQ(differing, 0);
    int lit = 0; // not all black: the map is in it
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1000; ++x) lit += (actual.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 1000);
}

TEST(PictureExport, CancelWritesNothingAndReleasesTheBitmap)
{
    const auto dir = ExportFolder();
    TScriptedPictureDialog dialog(false, (dir / "never.bmp").string());
    TQtBitmapFactory qtBitmaps;
    EXPECT_FALSE(ExportPicture(drawtest::SampleMap(), dialog, qtBitmaps));
    EXPECT_TRUE(std::filesystem::is_empty(dir));

    TRecordingBitmapFactory bitmaps;
    TScriptedPictureDialog logged(false, "x.bmp", &bitmaps.Events);
    EXPECT_FALSE(ExportPicture(drawtest::SampleMap(), logged, bitmaps));
    EXPECT_EQ(bitmaps.Events, (std::vector<std::string>{"Create#1", "Dialog", "Release#1"}));
}

TEST(PictureExport, StepsInOrderAndBmpAddedToANameWithoutExtension)
{
    TRecordingBitmapFactory bitmaps;
    TScriptedPictureDialog dialog(true, "/tmp/карта без расширения", &bitmaps.Events);
    EXPECT_TRUE(ExportPicture(drawtest::SampleMap(), dialog, bitmaps));
    EXPECT_EQ(bitmaps.Events,
              (std::vector<std::string>{"Create#1", "Dialog", "SetWidth#1(1000)", "SetHeight#1(1000)",
                                        "Save#1(/tmp/карта без расширения.bmp)", "Release#1"}));
    const TRecordingCanvas& canvas = bitmaps.Bitmaps[0]->Canvas;
    EXPECT_EQ(canvas.CallsOf({"Rectangle"}), std::vector<std::string>{"Rectangle(0,0,1000,1000)"});
    EXPECT_TRUE(canvas.CallsOf({"SetBrushStyle(Clear)"}).empty()); // no outline of the view
}

TEST(PictureExport, NameWithoutExtensionGetsBmp)
{
    const auto dir = ExportFolder();
    TScriptedPictureDialog dialog(true, (dir / "picture").string());
    TQtBitmapFactory bitmaps;
    ASSERT_TRUE(ExportPicture(drawtest::SampleMap(), dialog, bitmaps));
    EXPECT_FALSE(std::filesystem::exists(dir / "picture"));
    EXPECT_TRUE(std::filesystem::exists(dir / "picture.bmp"));
    for (const auto& [chosen, file] : std::vector<std::pair<std::string, std::string>>{
             {"a.b/pic", "a.b/pic.bmp"}, {".pic", ".pic.bmp"}, {"pic.png", "pic.png"}, {"x/.BMP", "x/.BMP"}})
        EXPECT_EQ(PictureFileName(chosen), file);
}

TEST(PictureExport, AFailedSaveRaisesAndStillReleasesTheBitmap)
{
    TRecordingBitmapFactory bitmaps;
    bitmaps.FailSaving = true;
    TScriptedPictureDialog dialog(true, "out.bmp");
    EXPECT_THROW(ExportPicture(drawtest::SampleMap(), dialog, bitmaps), EFileError);
    EXPECT_TRUE(bitmaps.Bitmaps[0]->Released);

    const auto dir = ExportFolder();
    TScriptedPictureDialog intoMissing(true, (dir / "missing" / "out.bmp").string());
    TQtBitmapFactory qtBitmaps;
    EXPECT_THROW(ExportPicture(drawtest::SampleMap(), intoMissing, qtBitmaps), EFileError);
}
