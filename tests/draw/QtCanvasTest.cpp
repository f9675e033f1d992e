#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <random>

#include "model/Errors.h"
#include "platform/qt/QtCanvas.h"
#include "tests/support/TempFolder.h"

namespace {

std::unique_ptr<TQtBitmap> Bitmap(int width, int height)
{
    auto b = std::make_unique<TQtBitmap>();
    b->SetWidth(width);
    b->SetHeight(height);
    return b;
}

/// The picture as rows of characters: '.' black, 'W' white, 'R' red, 'G'
/// green, 'B' blue, '#' anything else.
std::vector<std::string> Rows(const TQtBitmap& bitmap)
{
    const QImage& image = bitmap.Image();
    std::vector<std::string> rows;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            switch (image.pixel(x, y) & 0xFFFFFF) {
            case 0x000000: row += '.'; break;
            case 0xFFFFFF: row += 'W'; break;
            case 0xFF0000: row += 'R'; break;
            case 0x00FF00: row += 'G'; break;
            case 0x0000FF: row += 'B'; break;
            default: row += '#';
            }
        }
        rows.push_back(row);
    }
    return rows;
}

QRgb At(const TQtBitmap& bitmap, int x, int y) { return bitmap.Image().pixel(x, y) & 0xFFFFFF; }

/// A file in a fresh folder of this test program, removed when it ends.
std::string TempPath(const std::string& name)
{
    static const TTempFolder folder;
    return folder.File(name);
}

} // namespace

TEST(QtCanvas, ColoursKeepRedInTheLowByte)
{
    auto b = Bitmap(3, 1);
    TCanvas& c = b->Canvas();
    const TColor colours[] = {0x0000FF, 0x00FF00, 0xFF0000};
    for (int i = 0; i < 3; ++i) {
        c.SetPenColor(colours[i]);
        c.MoveTo(i, 0);
        c.LineTo(i + 1, 0);
    }
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"RGB"}));
    c.SetPenColor(0x336699);
    c.MoveTo(0, 0);
    c.LineTo(1, 0);
    EXPECT_EQ(At(*b, 0, 0), qRgb(0x99, 0x66, 0x33) & 0xFFFFFF);
}

TEST(QtCanvas, ThinLinesLeaveOutTheirEndPoint)
{
    auto b = Bitmap(8, 6);
    TCanvas& c = b->Canvas();
    c.SetPenColor(clWhite);
    c.MoveTo(1, 1);
    c.LineTo(6, 1); // x 1..5
    c.MoveTo(1, 2);
    c.LineTo(1, 2); // nothing
    c.MoveTo(7, 5);
    c.LineTo(3, 1); // 45 degrees up-left, (3,1) itself left out
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"........", ".WWWWW..", "....W...", ".....W..", "......W.",
                                                  ".......W"}));
    EXPECT_EQ(static_cast<TQtCanvas&>(c).PenX(), 3);
}

TEST(QtCanvas, ALinePaintsTheSamePixelsOnEverySurface)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coord(-60, 90);
    for (int i = 0; i < 200; ++i) {
        const int x0 = coord(random), y0 = coord(random), x1 = coord(random), y1 = coord(random);
        auto small = Bitmap(30, 20);
        auto large = Bitmap(200, 200);
        for (TQtBitmap* b : {small.get(), large.get()}) {
            b->Canvas().SetPenColor(clWhite);
            b->Canvas().MoveTo(x0, y0);
            b->Canvas().LineTo(x1, y1);
        }
        // Shift the large surface so that its pixels line up with the small one's.
        auto shifted = Bitmap(30, 20);
        shifted->Canvas().Draw(0, 0, *large);
        ASSERT_EQ(Rows(*small), Rows(*shifted)) << x0 << "," << y0 << " " << x1 << "," << y1;
    }
}

TEST(QtCanvas, FarCoordinatesAreClippedNotWalked)
{
    auto b = Bitmap(10, 10);
    TCanvas& c = b->Canvas();
    c.SetPenColor(clWhite);
    c.MoveTo(-2000000000, 4);
    c.LineTo(2000000000, 4);
    c.MoveTo(5, -2147483647 - 1);
    c.LineTo(5, 2147483647);
    c.SetPenWidth(3);
    c.MoveTo(-2000000000, 8);
    c.LineTo(2000000000, 8);
    c.Rectangle(-2000000000, -2000000000, 2000000000, 2000000000);
    c.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
    const auto rows = Rows(*b);
    EXPECT_EQ(rows[4], "WWWWWWWWWW");
    EXPECT_EQ(rows[8], "WWWWWWWWWW");
    EXPECT_EQ(At(*b, 5, 0), 0xFFFFFFu);
}

TEST(QtCanvas, RectangleLeavesOutTheRightColumnAndBottomRow)
{
    auto b = Bitmap(8, 7);
    TCanvas& c = b->Canvas();
    c.SetPenColor(clWhite);
    c.SetBrushColor(0x0000FF);
    c.Rectangle(1, 1, 6, 5);
    c.SetBrushStyle(TBrushStyle::Clear);
    c.SetPenColor(0x00FF00);
    c.Rectangle(7, 6, 3, 3); // corners in the other order, clear brush
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"........", ".WWWWW..", ".WRRRW..", ".WRGGGG.", ".WWGWWG.",
                                                  "...GGGG.", "........"}));
}

TEST(QtCanvas, SettingTheBrushColourMakesAClearBrushSolid)
{
    auto b = Bitmap(5, 5);
    TQtCanvas& c = static_cast<TQtCanvas&>(b->Canvas());
    c.SetBrushStyle(TBrushStyle::Clear);
    c.SetBrushColor(0xFF0000);
    EXPECT_EQ(c.BrushStyle(), TBrushStyle::Solid);
    c.SetPenColor(clWhite);
    c.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(At(*b, 2, 2), 0x0000FFu);
}

TEST(QtCanvas, EllipseStaysInsideItsBoxAndIsFilledWithTheBrush)
{
    auto b = Bitmap(8, 8);
    TCanvas& c = b->Canvas();
    c.SetPenColor(0x0000FF);
    c.SetBrushColor(clWhite);
    c.Ellipse(2, 2, 6, 6); // the end circle of a border at (4, 4)
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"........", "........", "..RRRR..", "..RWWR..", "..RWWR..",
                                                  "..RRRR..", "........", "........"}));

    auto marker = Bitmap(24, 24);
    TCanvas& m = marker->Canvas();
    m.SetPenColor(0x00FF00);
    m.SetBrushStyle(TBrushStyle::Clear);
    m.Ellipse(2, 2, 22, 22);
    const auto rows = Rows(*marker);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const bool inBox = x >= 2 && x < 22 && y >= 2 && y < 22;
            if (!inBox) {
                EXPECT_EQ(rows[y][x], '.') << x << "," << y;
            }
        }
    EXPECT_EQ(rows[12][2], 'G');
    EXPECT_EQ(rows[12][21], 'G');
    EXPECT_EQ(rows[2][12], 'G');
    EXPECT_EQ(rows[21][12], 'G');
    EXPECT_EQ(rows[12][12], '.'); // clear brush: the inside untouched
}

TEST(QtCanvas, WidePensAreCentredOnTheLine)
{
    auto b = Bitmap(20, 12);
    TCanvas& c = b->Canvas();
    c.SetPenColor(clWhite);
    c.SetPenWidth(3);
    c.MoveTo(4, 5);
    c.LineTo(15, 5);
    const auto rows = Rows(*b);
    for (int x = 4; x <= 15; ++x) {
        EXPECT_EQ(rows[3][x], '.');
        EXPECT_EQ(rows[4][x], 'W');
        EXPECT_EQ(rows[5][x], 'W');
        EXPECT_EQ(rows[6][x], 'W');
        EXPECT_EQ(rows[7][x], '.');
    }
    EXPECT_EQ(rows[5][17], '.');
    EXPECT_EQ(rows[5][1], '.');
}

TEST(QtBitmap, StartsBlackAndKeepsItsPixelsWhenResized)
{
    auto b = Bitmap(4, 3);
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"....", "....", "...."}));
    b->Canvas().SetPenColor(clWhite);
    b->Canvas().SetBrushColor(clWhite);
    b->Canvas().Rectangle(0, 0, 4, 3);
    b->SetWidth(6);
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"WWWW..", "WWWW..", "WWWW.."}));
    b->SetHeight(2);
    b->SetWidth(3);
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"WWW", "WWW"}));
    EXPECT_EQ(b->Width(), 3);
    EXPECT_EQ(b->Height(), 2);
    b->SetWidth(-5);
    EXPECT_EQ(b->Width(), 0);
    b->Canvas().LineTo(3, 3); // drawing on an empty bitmap does nothing
}

TEST(QtBitmap, DrawCopiesWithClipping)
{
    auto source = Bitmap(3, 2);
    source->Canvas().SetPenColor(clWhite);
    source->Canvas().SetBrushColor(0x0000FF);
    source->Canvas().Rectangle(0, 0, 3, 2);
    auto target = Bitmap(5, 4);
    target->Canvas().Draw(-1, -1, *source);
    target->Canvas().Draw(3, 3, *source);
    EXPECT_EQ(Rows(*target), (std::vector<std::string>{"WW...", ".....", ".....", "...WW"}));
    target->Canvas().Draw(1, 1, *target); // onto itself: reads the picture before the copy
    EXPECT_EQ(Rows(*target), (std::vector<std::string>{"WW...", ".WW..", ".....", "....."}));
}

TEST(QtBitmap, ACopyOfThePictureDoesNotChangeWithLaterDrawing)
{
    auto b = Bitmap(4, 4);
    b->Canvas().SetPenWidth(3); // opens the painter
    b->Canvas().SetPenColor(clWhite);
    b->Canvas().MoveTo(0, 0);
    b->Canvas().LineTo(3, 0);
    const QImage before = b->Image();
    b->Canvas().SetPenWidth(1);
    b->Canvas().MoveTo(0, 3);
    b->Canvas().LineTo(4, 3);
    EXPECT_EQ(before.pixel(1, 3) & 0xFFFFFF, 0u);
    EXPECT_EQ(At(*b, 1, 3), 0xFFFFFFu);
}

TEST(QtBitmap, SavesABmpUnderTheNameAsGiven)
{
    auto b = Bitmap(7, 5);
    b->Canvas().SetPenColor(0x0000FF);
    b->Canvas().MoveTo(0, 2);
    b->Canvas().LineTo(7, 2);
    const std::string path = TempPath("no-extension");
    std::filesystem::remove(path);
    b->SaveToFile(path);
    ASSERT_TRUE(std::filesystem::exists(path));
    QImage read;
    ASSERT_TRUE(read.load(QString::fromStdString(path), "BMP"));
    EXPECT_EQ(read.size(), QSize(7, 5));
    EXPECT_EQ(read.pixel(3, 2) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(read.pixel(3, 1) & 0xFFFFFF, 0u);
    const std::string cyrillic = TempPath("карта.bmp");
    b->SaveToFile(cyrillic);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(cyrillic)));
}

TEST(QtBitmap, AFailedSaveNamesTheFile)
{
    auto b = Bitmap(2, 2);
    const std::string path = TempPath("missing-folder/picture.bmp");
    try {
        b->SaveToFile(path);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    auto empty = std::make_unique<TQtBitmap>();
    EXPECT_THROW(empty->SaveToFile(TempPath("empty.bmp")), EFileError);
}

TEST(QtCanvas, SmallEllipsesKeepTheirShapeWhereverTheyAre)
{
    const auto ellipse = [](int pen, int x, int y, int size) {
        auto b = Bitmap(40, 40);
        TCanvas& c = b->Canvas();
        c.SetPenWidth(pen);
        c.SetPenColor(0x0000FF);
        c.SetBrushColor(clWhite);
        c.Ellipse(x, y, x + size, y + size);
        return b->Image().copy();
    };
    for (int size = 1; size <= 24; ++size)
        for (int pen = 1; pen <= 3; ++pen) {
            const QImage here = ellipse(pen, 8, 8, size);
            if (pen == 1) {
                // With a thin pen, the very shape QPainter draws.
                QImage direct(40, 40, QImage::Format_RGB32);
                direct.fill(0xFF000000u);
                QPainter painter(&direct);
                painter.setPen(QPen(QColor(255, 0, 0), pen));
                painter.setBrush(QColor(255, 255, 255));
                painter.drawEllipse(QRect(8, 8, size - 1, size - 1));
                painter.end();
                ASSERT_TRUE(here == direct) << size;
            }
            // Moved by whole pixels, the same pixels moved.
            ASSERT_TRUE(ellipse(pen, 13, 5, size).copy(5, -3, 40, 40) == here.copy(0, 0, 40, 40))
                << size << " pen " << pen;
            // Half off the top-left corner: the same ellipse, clipped.
            const int h = size / 2;
            ASSERT_TRUE(ellipse(pen, -h, -h, size).copy(0, 0, 20, 20) == here.copy(8 + h, 8 + h, 20, 20))
                << size << " pen " << pen;
        }
}
