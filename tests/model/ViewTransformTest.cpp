// The view transform's rules at every scale, against references computed
// another way: exact integer arithmetic in sixteenths of a pixel, and the
// distance to the drawn segment in extended precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <cmath>
#include <random>
#include <vector>

#include "model/TViewTransform.h"

namespace {

using TPick = std::function<std::int32_t(std::int32_t, std::int32_t)>;

/// A picker of whole numbers from lo to hi, and a view of the window's size
/// somewhere in the world at the given scale.
TPick Picker(std::mt19937& random)
{
    return [&random](std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(random); };
}

TViewTransform SomeView(const TPick& pick, std::int32_t shift)
{
    return {pick(0, 9000), pick(0, 9000), 718, 600, TViewZoom{shift}};
}

/// Calls body(view, pick) with a view at every scale, somewhere in the world.
template <class Body>
void AtEveryScale(std::uint32_t seed, Body body)
{
    std::mt19937 random(seed);
    const TPick pick = Picker(random);
    for (std::int32_t shift = TViewZoom::MinShift; shift <= TViewZoom::MaxShift; ++shift) body(SomeView(pick, shift), pick);
}

/// A world coordinate's position in sixteenths of a pixel: exact at every scale.
std::int64_t Sixteenths(const TViewTransform& view, std::int64_t offset)
{
    return offset * (std::int64_t{1} << (view.Zoom.Shift + 4));
}

TEST(ViewTransform, TheReachIsFivePixelsAtEveryScaleAndItsRectangleHoldsIt)
{
    int within = 0, outside = 0;
    AtEveryScale(3, [&](const TViewTransform& view, const TPick& pick) {
        const std::int32_t shift = view.Zoom.Shift;
        const std::int32_t near = view.Zoom.Extent(TViewTransform::Reach) + 3;
        for (int k = 0; k < 4000; ++k) {
            const std::int32_t px = pick(-20, 740), py = pick(-20, 620);
            const TPoint w = view.ToWorld(px, py);
            const std::int32_t x = w.x + pick(-near, near), y = w.y + pick(-near, near);
            const std::int64_t dx = Sixteenths(view, std::int64_t{x} - view.X) - 16 * px;
            const std::int64_t dy = Sixteenths(view, std::int64_t{y} - view.Y) - 16 * py;
            const bool exact = dx * dx + dy * dy < 80 * 80;
            ASSERT_EQ(view.WithinReach(x, y, px, py), exact) << shift << " " << x << "," << y << " " << px << "," << py;
            ASSERT_EQ(view.ReachDistance2(x, y, px, py) >= 0, exact) << shift;
            if (exact) {
                const TWorldRect r = view.AroundPoint(px, py);
                ASSERT_TRUE(x >= r.x1 && x <= r.x2 && y >= r.y1 && y <= r.y2) << shift << " " << x << "," << y;
            }
            (exact ? within : outside) += 1;
        }
    });
    EXPECT_GT(within, 2000);
    EXPECT_GT(outside, 2000);
}

TEST(ViewTransform, InViewAndPickingDistanceFollowTheDrawnSegment)
{
    int shown = 0, hidden = 0;
    AtEveryScale(4, [&](const TViewTransform& view, const TPick& pick) {
        const std::int32_t shift = view.Zoom.Shift;
        const std::int32_t reach = view.Zoom.Extent(900);
        for (int k = 0; k < 3000; ++k) {
            const auto coordinate = [&](std::int32_t origin) { return origin + pick(-reach, 2 * reach); };
            const TLine line{coordinate(view.X), coordinate(view.Y), coordinate(view.X), coordinate(view.Y), false};
            // Hidden exactly when both ends' pixels lie beyond one edge.
            const TPoint a = view.ToView(line.X1, line.Y1), b = view.ToView(line.X2, line.Y2);
            const bool beyond = (a.x < 0 && b.x < 0) || (a.y < 0 && b.y < 0) || (a.x > view.Width && b.x > view.Width) ||
                                (a.y > view.Height && b.y > view.Height);
            ASSERT_EQ(view.Shows(line), !beyond) << shift;
            (beyond ? hidden : shown) += 1;
            const std::int32_t px = pick(-10, 730), py = pick(-10, 610);
            if (beyond) {
                ASSERT_EQ(view.Distance(line, px, py), FarDistance);
                continue;
            }
            // The distance to the segment between the ends' unrounded pixels.
            const long double x1 = Sixteenths(view, std::int64_t{line.X1} - view.X) / 16.0L - px;
            const long double y1 = Sixteenths(view, std::int64_t{line.Y1} - view.Y) / 16.0L - py;
            const long double x2 = Sixteenths(view, std::int64_t{line.X2} - view.X) / 16.0L - px;
            const long double y2 = Sixteenths(view, std::int64_t{line.Y2} - view.Y) / 16.0L - py;
            const long double length2 = (x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1);
            const long double t = length2 == 0 ? 0 : std::clamp(-(x1 * (x2 - x1) + y1 * (y2 - y1)) / length2, 0.0L, 1.0L);
            const long double expected = std::hypot(x1 + t * (x2 - x1), y1 + t * (y2 - y1));
            ASSERT_NEAR(view.Distance(line, px, py), static_cast<double>(expected), 1e-9 * std::max(1.0L, expected))
                << shift;
        }
    });
    EXPECT_GT(shown, 3000);
    EXPECT_GT(hidden, 3000);
}

TEST(ViewTransform, TheBatchedScanVisitsWhatShowsAcceptsAndRaisesWhereItDoes)
{
    std::mt19937 random(5);
    const TPick pick = Picker(random);
    for (const std::int32_t shift : {0, 0, 0, -3, 2}) {
        const TViewTransform view = SomeView(pick, shift);
        std::vector<TLine> lines;
        for (int k = pick(0, 60); k > 0; --k) {
            const std::int32_t x = view.X + pick(-3000, 3000), y = view.Y + pick(-3000, 3000);
            lines.push_back({x, y, x + pick(-500, 500), y + pick(-500, 500), false});
        }
        if (!lines.empty() && pick(0, 1)) lines[static_cast<std::size_t>(pick(0, static_cast<std::int32_t>(lines.size()) - 1))].X2 = INT32_MIN;
        // Element by element, up to the first that raises.
        std::vector<std::size_t> expected;
        bool expectRaise = false;
        for (std::size_t k = 0; k < lines.size() && !expectRaise; ++k) {
            try {
                if (view.Shows(lines[k])) expected.push_back(k);
            } catch (const EIntOverflow&) {
                expectRaise = true;
            }
        }
        std::vector<std::size_t> visited;
        bool raised = false;
        try {
            view.VisitShown(lines.data(), lines.size(), [&](std::size_t k) { visited.push_back(k); });
        } catch (const EIntOverflow&) {
            raised = true;
        }
        EXPECT_EQ(visited, expected) << shift;
        EXPECT_EQ(raised, expectRaise) << shift;
        if (shift != 0) {
            EXPECT_FALSE(raised);
        }
    }
}

TEST(ViewTransform, AtScaleOnePositionsAreCheckedElsewhereTheySaturate)
{
    const TViewTransform one{INT32_MAX - 3, 0, 718, 600, TViewZoom{}};
    const TViewTransform two{INT32_MAX - 3, 0, 718, 600, TViewZoom{1}};
    EXPECT_THROW(one.ToWorld(10, 0), EIntOverflow);
    EXPECT_EQ(two.ToWorld(10, 0), (TPoint{INT32_MAX, 0}));
    EXPECT_EQ(two.ToView(INT32_MIN, 0), (TPoint{INT32_MIN, 0}));
    // An end 50000 pixels off: its square leaves 32 bits at scale 1 only.
    const TViewTransform origin{0, 0, 718, 600, TViewZoom{}};
    EXPECT_THROW(origin.WithinReach(50000, 0, 0, 0), EIntOverflow);
    EXPECT_FALSE((TViewTransform{0, 0, 718, 600, TViewZoom{-1}}.WithinReach(100000, 0, 0, 0)));
    EXPECT_EQ(origin.ReachDistance2(50000, 0, 0, 0), -1.0);
    // Ends drawn far out keep their pixels at scale 1 and are cut back elsewhere.
    const TLine far{-1000000000, 10, 10, 10, false};
    EXPECT_EQ(origin.VisibleEnds(far)->x1, -1000000000);
    EXPECT_EQ((TViewTransform{0, 0, 718, 600, TViewZoom{1}}.VisibleEnds(far)->x1), -(1 << 28));
}

} // namespace
