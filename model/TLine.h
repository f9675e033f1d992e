#pragma once
// Map elements: straight segments in a WorldSize x WorldSize world, x to the
// right and y downward. Elements are plain values held in contiguous arrays.
#include <cstdint>

#include "model/Checked.h"
#include "platform/Color.h"

constexpr std::int32_t WorldSize = 10000;
/// The distance DistanceTo answers for an element wholly beyond one edge of the view.
constexpr double FarDistance = 2147483647.0;

enum BorderKind : std::uint8_t { bkFlat = 0, bkWall = 1, bkHighWall = 2, bkArch = 3 };

class TMapReader;
class TMapWriter;

/// Base of the map elements; never used by itself.
struct TLine {
    bool Selected = false;
    std::int32_t X1 = 0;
    std::int32_t Y1 = 0;
    std::int32_t X2 = 0;
    std::int32_t Y2 = 0;

    /// X2 - X1, checked.
    std::int32_t DX() const;
    /// Y2 - Y1, checked.
    std::int32_t DY() const;
    /// sqrt(DX^2 + DY^2), the sum formed in checked integers.
    double Length() const;
    /// Direction from the first end to the second in [0, 2pi), by octant.
    double Heading() const;
    /// Distance from the view point (px, py) to the segment, or FarDistance when
    /// the segment lies wholly beyond one edge of the view rectangle.
    double DistanceTo(std::int32_t px, std::int32_t py, std::int32_t viewX, std::int32_t viewY,
                      std::int32_t viewWidth, std::int32_t viewHeight) const;
    /// The quick rejection of DistanceTo: both ends, taken into view coordinates
    /// (checked), lie beyond the same edge of the view rectangle.
    bool IsBeyondView(std::int32_t viewX, std::int32_t viewY, std::int32_t viewWidth,
                      std::int32_t viewHeight) const
    {
        const std::int32_t x1 = Checked::Sub(X1, viewX);
        const std::int32_t y1 = Checked::Sub(Y1, viewY);
        const std::int32_t x2 = Checked::Sub(X2, viewX);
        const std::int32_t y2 = Checked::Sub(Y2, viewY);
        return (x1 < 0 && x2 < 0) || (x1 > viewWidth && x2 > viewWidth) || (y1 < 0 && y2 < 0) ||
               (y1 > viewHeight && y2 > viewHeight);
    }
};

/// A directed rail from (X1, Y1) to (X2, Y2).
struct TRail : TLine {
    /// Links written by the route check only; -1 for none.
    std::int32_t Next1 = 0;
    std::int32_t Next2 = 0;
    std::int32_t Prev1 = 0;
    std::int32_t Prev2 = 0;
    bool IsStart = false;
    bool IsFinish = false;

    void ReadRecord(TMapReader& in);
    void WriteRecord(TMapWriter& out) const;
};

/// A coloured scenery segment.
struct TBorder : TLine {
    TColor Color = 0;
    std::uint8_t Kind = bkFlat;

    void ReadRecord(TMapReader& in);
    void WriteRecord(TMapWriter& out) const;
};

/// Distance between two points, the sum of squares formed in checked integers.
double PointDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

/// Heading(b) - Heading(a), brought into [-pi, pi).
double TurnAngle(const TLine& a, const TLine& b);
