#pragma once
// The overview's bounds and its scaling of world points into its rectangle,
// and the drawing steps that the overview and its cache share.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "model/Checked.h"
#include "model/TMap.h"
#include "platform/Canvas.h"

/// Lines that DrawOverviewLines leaves out, for a cache that draws them itself.
struct TOverviewLeaveOut {
    bool LastBorder = false;
    bool LastRail = false;
    bool Selected = false;
};

/// The overview's frame, the one rule behind MinX, MinY, MaxX and MaxY: the
/// extreme element ends pushed 10 units out (checked, raising EIntOverflow),
/// and on a map without rails the square from -10 to 10 as well.
struct TOverviewBounds {
    std::int32_t MinX = INT32_MAX;
    std::int32_t MinY = INT32_MAX;
    std::int32_t MaxX = INT32_MIN;
    std::int32_t MaxY = INT32_MIN;

    /// Widens the bounds to take in both ends of line.
    void Take(const TLine& line)
    {
        Take(line.X1, line.Y1);
        Take(line.X2, line.Y2);
    }
    /// Widens the bounds to take in the point (x, y).
    void Take(std::int32_t x, std::int32_t y)
    {
        MinX = std::min(MinX, Checked::Sub(x, 10));
        MinY = std::min(MinY, Checked::Sub(y, 10));
        MaxX = std::max(MaxX, Checked::Add(x, 10));
        MaxY = std::max(MaxY, Checked::Add(y, 10));
    }
};

/// The bounds of the map's elements. A last border or rail named in leaveOut
/// is not taken, so that Take of it, wherever it is, completes the bounds
/// (the square of a map without rails counts only where the map has none).
TOverviewBounds OverviewBounds(const TMap& map, const TOverviewLeaveOut& leaveOut = {});

/// The map's bounds and ranges at one moment, with the two images of a world
/// coordinate: rounded (extended precision, halves to even) and truncated
/// (integer division toward zero). The products are checked 32-bit values.
struct TOverviewScale {
    TOverviewScale(const TMap& map, std::int32_t width, std::int32_t height);
    TOverviewScale(const TOverviewBounds& bounds, std::int32_t width, std::int32_t height);

    std::int32_t RoundedX(std::int32_t x) const;
    std::int32_t RoundedY(std::int32_t y) const;
    std::int32_t TruncatedX(std::int32_t x) const;
    std::int32_t TruncatedY(std::int32_t y) const;

    const std::int32_t MinX;
    const std::int32_t MinY;
    const std::int32_t RangeX;
    const std::int32_t RangeY;
    const std::int32_t Width;
    const std::int32_t Height;

private:
    static std::int32_t Rounded(std::int32_t v, std::int32_t min, std::int32_t size, std::int32_t range);
    static std::int32_t Truncated(std::int32_t v, std::int32_t min, std::int32_t size, std::int32_t range);
};

/// product / range rounded to the nearest integer, halves to even; the same
/// result as dividing in extended precision and rounding. range is not 0.
std::int32_t RoundedQuotient(std::int32_t product, std::int32_t range);

/// Told of every line the overview draws, in drawing order, with its pen colour.
class TOverviewLineSink {
public:
    virtual ~TOverviewLineSink() = default;
    virtual void Line(TColor color, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
};

/// DrawOverview's canvas calls with a ready scale; each line is also told to
/// the sink when one is given. The lines named in leaveOut are neither drawn
/// nor told.
void DrawOverviewLines(const TMap& map, TCanvas& canvas, const TOverviewScale& scale, TOverviewLineSink* sink,
                       const TOverviewLeaveOut& leaveOut = {});

/// One line of the overview: its pen colour and its ends in overview pixels.
struct TOverviewLine {
    TColor Color;
    std::int32_t X1, Y1, X2, Y2;
};

/// The line that the overview draws for border index (rounded ends).
TOverviewLine OverviewBorderLine(const TMap& map, const TOverviewScale& scale, std::int32_t index);
/// The line that the overview draws for rail index (rounded ends, the start
/// colour before the finish colour before white).
TOverviewLine OverviewRailLine(const TMap& map, const TOverviewScale& scale, std::int32_t index);
/// The red line drawn last over the selected rail (truncated ends); the map's
/// SelRail names a rail.
TOverviewLine OverviewSelectedLine(const TMap& map, const TOverviewScale& scale);

/// The green outline of the view at (scrollX, scrollY), brush left clear.
void DrawViewportOutline(const TMap& map, TCanvas& canvas, const TOverviewScale& scale, std::int32_t scrollX,
                         std::int32_t scrollY);
