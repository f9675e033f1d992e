#include <gtest/gtest.h>

#include <random>

#include "draw/MapDraw.h"
#include "tests/draw/DrawTestMaps.h"
#include "tests/support/RecordingCanvas.h"

using drawtest::PutBorder;
using drawtest::PutRail;
using drawtest::SetView;
using Calls = std::vector<std::string>;

namespace {

Calls RailCalls(const TRail& rail, std::int32_t viewX, std::int32_t viewY)
{
    TRecordingCanvas canvas;
    DrawRail(rail, canvas, {viewX, viewY, 718, 600, {}});
    return canvas.Calls;
}

TRail Rail(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    TRail r;
    r.X1 = x1;
    r.Y1 = y1;
    r.X2 = x2;
    r.Y2 = y2;
    return r;
}

struct ArrowCase {
    const char* name;
    TRail rail;
    std::int32_t viewX, viewY;
    Calls expected;
};

} // namespace

TEST(RailDraw, ArrowHeadsRoundHalvesToEvenAndTruncateTheTip)
{
    const ArrowCase cases[] = {
        {"east", Rail(0, 0, 100, 0), 0, 0,
         {"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(0,0)", "LineTo(100,0)", "MoveTo(45,-3)", "LineTo(50,0)",
          "LineTo(45,3)"}},
        {"west", Rail(100, 0, 0, 0), 0, 0,
         {"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(100,0)", "LineTo(0,0)", "MoveTo(55,3)", "LineTo(50,0)",
          "LineTo(55,-3)"}},
        {"oblique", Rail(0, 0, 30, 40), 0, 0,
         {"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(0,0)", "LineTo(30,40)", "MoveTo(14,14)", "LineTo(15,20)",
          "LineTo(10,18)"}},
        {"odd length 101", Rail(0, 0, 0, 101), 0, 0,
         {"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(0,0)", "LineTo(0,101)", "MoveTo(3,46)", "LineTo(0,50)",
          "LineTo(-3,46)"}},
        {"odd length 103", Rail(0, 0, 0, 103), 0, 0,
         {"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(0,0)", "LineTo(0,103)", "MoveTo(3,46)", "LineTo(0,51)",
          "LineTo(-3,46)"}},
        {"above the view origin", Rail(0, 0, 0, 101), 0, 101,
         {"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(0,-101)", "LineTo(0,0)", "MoveTo(3,-56)",
          "LineTo(0,-50)", "LineTo(-3,-56)"}},
    };
    for (const ArrowCase& c : cases) EXPECT_EQ(RailCalls(c.rail, c.viewX, c.viewY), c.expected) << c.name;
}

TEST(RailDraw, ColourAndWidthShowRoleAndSelection)
{
    struct Case {
        bool start, finish, selected;
        const char* width;
        const char* color;
    } const cases[] = {
        {false, false, false, "SetPenWidth(1)", "SetPenColor(0xAAAAAA)"},
        {true, false, false, "SetPenWidth(1)", "SetPenColor(0x8888FF)"},
        {false, true, false, "SetPenWidth(1)", "SetPenColor(0x88FF88)"},
        {true, true, false, "SetPenWidth(1)", "SetPenColor(0x8888FF)"},
        {false, false, true, "SetPenWidth(3)", "SetPenColor(0xAAAAAA)"},
        {false, true, true, "SetPenWidth(3)", "SetPenColor(0x88FF88)"},
    };
    for (const Case& c : cases) {
        TRail rail = Rail(0, 0, 100, 0);
        rail.IsStart = c.start;
        rail.IsFinish = c.finish;
        rail.Selected = c.selected;
        const Calls calls = RailCalls(rail, 0, 0);
        ASSERT_EQ(calls.size(), 7u);
        EXPECT_EQ(calls[0], c.width);
        EXPECT_EQ(calls[1], c.color);
    }
}

TEST(RailDraw, PointRailIsACircleFilledWithTheBrushLeftBefore)
{
    TMap map;
    SetView(map, 0, 0);
    PutRail(map, 50, 60, 50, 60);
    {
        TRecordingCanvas canvas;
        DrawView(map, canvas);
        EXPECT_EQ(canvas.Calls, (Calls{"SetPenColor(0x000000)", "SetBrushColor(0x000000)", "Rectangle(0,0,718,600)",
                                       "SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(50,60)", "LineTo(50,60)",
                                       "Ellipse(48,58,52,62)"}));
        EXPECT_EQ(canvas.BrushColor, clBlack);
    }
    // A visible border drawn earlier in the pass leaves a white brush behind.
    PutBorder(map, 10, 10, 20, 20, 0x123456, bkFlat);
    TRecordingCanvas canvas;
    DrawView(map, canvas);
    const Calls tail(canvas.Calls.end() - 5, canvas.Calls.end());
    EXPECT_EQ(tail, (Calls{"SetPenWidth(1)", "SetPenColor(0xAAAAAA)", "MoveTo(50,60)", "LineTo(50,60)",
                           "Ellipse(48,58,52,62)"}));
    EXPECT_EQ(canvas.BrushColor, clWhite);
    EXPECT_EQ(canvas.BrushStyle, TBrushStyle::Solid);
}

TEST(BorderDraw, PenWidthFollowsKindAndSelection)
{
    const std::int32_t widths[4][2] = {{1, 4}, {2, 5}, {3, 6}, {3, 6}};
    for (std::uint8_t kind = 0; kind < 4; ++kind)
        for (int selected = 0; selected < 2; ++selected) {
            TBorder b;
            b.X2 = 100;
            b.Color = 0x102030;
            b.Kind = kind;
            b.Selected = selected == 1;
            TRecordingCanvas canvas;
            DrawBorder(b, canvas, {0, 0, 718, 600, {}});
            EXPECT_EQ(canvas.Calls[1], "SetPenWidth(" + std::to_string(widths[kind][selected]) + ")")
                << int(kind) << " " << selected;
        }
}

TEST(BorderDraw, SelectedArchHasBlackCentreLineAndThinEndCircles)
{
    TBorder b;
    b.X1 = 10;
    b.Y1 = 20;
    b.X2 = 110;
    b.Y2 = 20;
    b.Color = 0xFF00FF;
    b.Kind = bkArch;
    b.Selected = true;
    TRecordingCanvas canvas;
    DrawBorder(b, canvas, {0, 10, 718, 600, {}});
    EXPECT_EQ(canvas.Calls,
              (Calls{"SetPenColor(0xFF00FF)", "SetPenWidth(6)", "MoveTo(10,10)", "LineTo(110,10)",
                     "SetPenColor(0x000000)", "SetPenWidth(2)", "MoveTo(10,10)", "LineTo(110,10)",
                     "SetPenColor(0xFF00FF)", "SetPenWidth(1)", "SetBrushColor(0xFFFFFF)", "Ellipse(8,8,12,12)",
                     "Ellipse(108,8,112,12)"}));
}

TEST(ElementDraw, VisibilityTestIsStrictAndPerEdge)
{
    struct Case {
        std::int32_t x1, y1, x2, y2;
        bool drawn;
    } const cases[] = {
        {718, 10, 900, 10, true},   // one end exactly on the right edge
        {719, 10, 900, 10, false},  // both beyond the right edge
        {-1, 10, -1, 300, false},   // both left of the view
        {0, 10, -50, 10, true},     // one end on the left edge
        {10, 600, 10, 700, true},   // one end exactly on the bottom edge
        {10, 601, 10, 700, false},  // both below
        {10, -5, 20, -1, false},    // both above
        {-10, 10, 10, -10, true},   // passes beside the top-left corner, touches nothing
        {-100, 300, 900, 300, true} // crosses the view, both ends outside
    };
    for (const Case& c : cases) {
        TRecordingCanvas railCanvas, borderCanvas;
        DrawRail(Rail(c.x1, c.y1, c.x2, c.y2), railCanvas, {0, 0, 718, 600, {}});
        TBorder b;
        b.X1 = c.x1;
        b.Y1 = c.y1;
        b.X2 = c.x2;
        b.Y2 = c.y2;
        DrawBorder(b, borderCanvas, {0, 0, 718, 600, {}});
        EXPECT_EQ(!railCanvas.Calls.empty(), c.drawn) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        EXPECT_EQ(!borderCanvas.Calls.empty(), c.drawn) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
    // The same test in world coordinates with the view moved.
    TRecordingCanvas canvas;
    DrawRail(Rail(1000, 100, 1100, 100), canvas, {1100, 0, 718, 600, {}});
    EXPECT_FALSE(canvas.Calls.empty());
    canvas.ClearCalls();
    DrawRail(Rail(1000, 100, 1099, 100), canvas, {1100, 0, 718, 600, {}});
    EXPECT_TRUE(canvas.Calls.empty());
}

TEST(ViewDraw, BackgroundThenBordersThenRailsInIndexOrder)
{
    TMap map;
    SetView(map, 10, 20, 300, 200);
    PutRail(map, 10, 20, 110, 20);
    PutBorder(map, 10, 30, 60, 30, 0x0000FF, bkFlat);
    PutBorder(map, 10, 40, 60, 40, 0x00FF00, bkWall);
    TRecordingCanvas canvas;
    DrawView(map, canvas);
    EXPECT_EQ(canvas.CallsOf({"Rectangle", "LineTo", "SetPenColor"}),
              (Calls{"SetPenColor(0x000000)", "Rectangle(0,0,300,200)", "SetPenColor(0x0000FF)", "LineTo(50,10)",
                     "SetPenColor(0x0000FF)", "SetPenColor(0x00FF00)", "LineTo(50,20)", "SetPenColor(0x00FF00)",
                     "SetPenColor(0xAAAAAA)", "LineTo(100,0)", "LineTo(50,0)", "LineTo(45,3)"}));
}

TEST(SnapMarker, CircleAndFourInwardTicksWithAClearBrush)
{
    TRecordingCanvas canvas;
    DrawSnapMarker(canvas, 100, 50);
    EXPECT_EQ(canvas.Calls, (Calls{"SetPenColor(0x00FF00)", "SetPenWidth(1)", "SetPenStyle(Solid)",
                                   "SetBrushStyle(Clear)", "Ellipse(90,40,110,60)", "MoveTo(85,50)", "LineTo(95,50)",
                                   "MoveTo(115,50)", "LineTo(105,50)", "MoveTo(100,35)", "LineTo(100,45)",
                                   "MoveTo(100,65)", "LineTo(100,55)"}));
}

TEST(FrameDraw, MarkerOnlyWhenSomethingSnaps)
{
    TMap map;
    SetView(map, 100, 100);
    PutRail(map, 200, 200, 300, 200);
    TRecordingCanvas canvas;
    DrawFrame(map, canvas, 50, 50, 0);
    EXPECT_TRUE(canvas.CallsOf({"Ellipse"}).empty());
    EXPECT_EQ(canvas.BrushStyle, TBrushStyle::Solid);

    canvas.ClearCalls();
    DrawFrame(map, canvas, 203, 101, 0);
    EXPECT_EQ(canvas.CallsOf({"Ellipse", "SetBrushStyle"}), (Calls{"SetBrushStyle(Clear)", "Ellipse(190,90,210,110)"}));
    // The next frame's background makes the brush solid again.
    canvas.ClearCalls();
    DrawFrame(map, canvas, 50, 50, 0);
    EXPECT_EQ(canvas.BrushStyle, TBrushStyle::Solid);
}

TEST(FrameDraw, PlacedRailFollowsTheMouseFromTheNextFrame)
{
    TMap map;
    SetView(map, 0, 0);
    PutBorder(map, 400, 300, 500, 300, 0xFFFFFF, bkFlat);
    map.AddRail(100, 100, 100, 100);
    TRecordingCanvas canvas;
    DrawFrame(map, canvas, 402, 298, 2);
    // Drawn before the move: still a point rail.
    EXPECT_EQ(canvas.CallsOf({"Ellipse"}).front(), "Ellipse(398,298,402,302)");
    EXPECT_EQ(canvas.CallsOf({"LineTo"})[1], "LineTo(100,100)");
    EXPECT_EQ(map.Rails()[0].X2, 400);
    EXPECT_EQ(map.Rails()[0].Y2, 300);
    EXPECT_EQ(canvas.CallsOf({"Ellipse"}).back(), "Ellipse(390,290,410,310)");
    canvas.ClearCalls();
    DrawFrame(map, canvas, 250, 100, 2);
    EXPECT_EQ(canvas.CallsOf({"LineTo"})[1], "LineTo(400,300)");
    EXPECT_EQ(map.Rails()[0].X2, 250);
}

TEST(ElementDraw, CoordinatesPastTheIntegerRangeRaiseOverflow)
{
    TRecordingCanvas canvas;
    EXPECT_THROW(DrawRail(Rail(INT32_MAX, 0, INT32_MAX, 5), canvas, {-10, 0, 718, 600, {}}), EIntOverflow);
    EXPECT_THROW(DrawSnapMarker(canvas, INT32_MAX - 3, 0), EIntOverflow);
}

TEST(ViewDraw, SameCallsAsDrawingEveryElementInTurn)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int32_t> coord(-500, 2500);
    for (int round = 0; round < 20; ++round) {
        TMap map;
        SetView(map, 300, 200);
        const int count = round * 7;
        for (int i = 0; i < count; ++i) {
            PutRail(map, coord(random), coord(random), coord(random), coord(random));
            PutBorder(map, coord(random), coord(random), coord(random), coord(random), 0x010203u * i,
                      static_cast<std::uint8_t>(i % 4));
        }
        TRecordingCanvas batched, oneByOne;
        DrawView(map, batched);
        oneByOne.SetPenColor(clBlack);
        oneByOne.SetBrushColor(clBlack);
        oneByOne.Rectangle(0, 0, 718, 600);
        for (const TBorder& b : map.Borders()) DrawBorder(b, oneByOne, {300, 200, 718, 600, {}});
        for (const TRail& r : map.Rails()) DrawRail(r, oneByOne, {300, 200, 718, 600, {}});
        ASSERT_EQ(batched.Calls, oneByOne.Calls) << "round " << round;
    }
}

TEST(ViewDraw, AnOverflowingElementStopsTheFrameAfterTheOnesBeforeIt)
{
    TMap map;
    SetView(map, 1000, 0);
    for (int i = 0; i < 12; ++i) PutRail(map, 1000 + i * 20, 10, 1000 + i * 20, 100);
    MapBuilders::EditRail(map, 5, [](TRail& r) { r.X1 = INT32_MIN + 5; }); // its view x leaves the 32-bit range
    TRecordingCanvas canvas;
    EXPECT_THROW(DrawView(map, canvas), EIntOverflow);
    EXPECT_EQ(canvas.CallsOf({"MoveTo(80,10)"}).size(), 1u);  // rail 4 drawn
    EXPECT_TRUE(canvas.CallsOf({"MoveTo(120,10)"}).empty()); // rail 6 not
}
