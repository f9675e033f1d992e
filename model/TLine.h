#pragma once
// Map elements: straight segments in a WorldSize x WorldSize world, x to the
// right and y downward. Elements are plain values held in contiguous arrays.
#include <cstdint>

#include "model/Checked.h"
#include "model/Errors.h"
#include "platform/Color.h"

constexpr std::int32_t WorldSize = 10000;
/// A rail shorter than this is stray: tidying the map (TMap::Normalize) removes it.
constexpr double ShortestRail = 10;
/// The distance DistanceTo answers for an element wholly beyond one edge of the view.
constexpr double FarDistance = 2147483647.0;

enum BorderKind : std::uint8_t { bkFlat = 0, bkWall = 1, bkHighWall = 2, bkArch = 3 };

class TMapReader;
class TMapWriter;

/// Base of the map elements; never used by itself.
struct TLine {
    std::int32_t X1 = 0;
    std::int32_t Y1 = 0;
    std::int32_t X2 = 0;
    std::int32_t Y2 = 0;
    // Last, so that the flags of a derived element can fill the padding after it.
    bool Selected = false;

    /// X2 - X1, checked.
    std::int32_t DX() const;
    /// Y2 - Y1, checked.
    std::int32_t DY() const;
    /// sqrt(DX^2 + DY^2), the sum formed in checked integers.
    double Length() const;
    /// Direction from the first end to the second in [0, 2pi), by octant.
    double Heading() const;
    /// Distance from the view point (px, py) to the segment, or FarDistance when
    /// the segment lies wholly beyond one edge of the view rectangle: a view
    /// at scale 1 (TViewTransform::Distance).
    double DistanceTo(std::int32_t px, std::int32_t py, std::int32_t viewX, std::int32_t viewY,
                      std::int32_t viewWidth, std::int32_t viewHeight) const;
};

/// True when the two lines have the same ends, in the same order.
inline bool SameEnds(const TLine& a, const TLine& b)
{
    return a.X1 == b.X1 && a.Y1 == b.Y1 && a.X2 == b.X2 && a.Y2 == b.Y2;
}

/// A directed rail from (X1, Y1) to (X2, Y2). Its route links live apart
/// (TRailLinks): a map that no check has seen holds none of them.
struct TRail : TLine {
    bool IsStart = false;
    bool IsFinish = false;

    void ReadRecord(TMapReader& in);
    void WriteRecord(TMapWriter& out) const;
};
static_assert(sizeof(TRail) == 20, "a loaded map holds 20 bytes a rail");

/// What the route check writes for one rail. A rail no check has seen has
/// the values a default TRailLinks holds.
struct TRailLinks {
    /// Links to successors and predecessors; -1 for none.
    std::int32_t Next1 = 0;
    std::int32_t Next2 = 0;
    std::int32_t Prev1 = 0;
    std::int32_t Prev2 = 0;
    /// Written with the links: an id that no other rail of the map, nor one
    /// its undo history can bring back, carries (TMap::RouteIdLimit); 0 for a
    /// rail no check has seen. It travels with the rail through edits, undo
    /// and redo, so a fault of that check finds the rail it named after
    /// indices have shifted.
    std::uint32_t RouteId = 0;
    friend bool operator==(const TRailLinks&, const TRailLinks&) = default;
};

/// A rail together with its links: what the undo history keeps of a rail.
struct TLinkedRail : TRail {
    TRailLinks Links;
};

/// A coloured scenery segment.
struct TBorder : TLine {
    TColor Color = 0;
    std::uint8_t Kind = bkFlat;

    void ReadRecord(TMapReader& in);
    void WriteRecord(TMapWriter& out) const;
};

/// sqrt(dx^2 + dy^2), the sum formed in checked integers.
double VectorLength(std::int32_t dx, std::int32_t dy);

/// Distance between two points, the sum of squares formed in checked integers.
double PointDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

/// Heading(b) - Heading(a), brought into [-pi, pi).
double TurnAngle(const TLine& a, const TLine& b);
