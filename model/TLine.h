#pragma once
// Map elements: straight segments in a WorldSize x WorldSize world, x to the
// right and y downward. Elements are plain values held in contiguous arrays.
#include <cstdint>

#include "model/Checked.h"
#include "model/Errors.h"
#include "platform/Color.h"

constexpr std::int32_t WorldSize = 10000;
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
    /// the segment lies wholly beyond one edge of the view rectangle.
    double DistanceTo(std::int32_t px, std::int32_t py, std::int32_t viewX, std::int32_t viewY,
                      std::int32_t viewWidth, std::int32_t viewHeight) const;
    /// The quick rejection of DistanceTo: both ends, taken into view coordinates
    /// (checked), lie beyond the same edge of the view rectangle.
    bool IsBeyondView(std::int32_t viewX, std::int32_t viewY, std::int32_t viewWidth,
                      std::int32_t viewHeight) const
    {
        std::uint64_t overflow = 0;
        const bool within = IsWithinView(viewX, viewY, viewWidth, viewHeight, overflow);
        if (overflow >> 32) throw EIntOverflow();
        return !within;
    }
    /// The negation of IsBeyondView without raising: a view coordinate that
    /// leaves 32 bits sets a bit of overflow above bit 31 instead, so a caller
    /// scanning many elements can test a whole batch at once. Runs for every
    /// element on every frame, hence 64-bit differences and no branches.
    bool IsWithinView(std::int32_t viewX, std::int32_t viewY, std::int32_t viewWidth, std::int32_t viewHeight,
                      std::uint64_t& overflow) const noexcept
    {
        const std::int64_t x1 = std::int64_t{X1} - viewX;
        const std::int64_t y1 = std::int64_t{Y1} - viewY;
        const std::int64_t x2 = std::int64_t{X2} - viewX;
        const std::int64_t y2 = std::int64_t{Y2} - viewY;
        constexpr std::int64_t bias = std::int64_t{1} << 31;
        overflow |= static_cast<std::uint64_t>(x1 + bias) | static_cast<std::uint64_t>(y1 + bias) |
                    static_cast<std::uint64_t>(x2 + bias) | static_cast<std::uint64_t>(y2 + bias);
        const bool left = (x1 & x2) < 0; // both signs negative
        const bool above = (y1 & y2) < 0;
        const bool right = (x1 < x2 ? x1 : x2) > viewWidth;
        const bool below = (y1 < y2 ? y1 : y2) > viewHeight;
        return !(left | right | above | below);
    }
};

/// A directed rail from (X1, Y1) to (X2, Y2).
struct TRail : TLine {
    bool IsStart = false;
    bool IsFinish = false;
    /// Links written by the route check only; -1 for none.
    std::int32_t Next1 = 0;
    std::int32_t Next2 = 0;
    std::int32_t Prev1 = 0;
    std::int32_t Prev2 = 0;
    /// Written by the route check with the links: an id that no other rail of
    /// the map, nor one its undo history can bring back, carries
    /// (TMap::RouteIdLimit); 0 for a rail no check has seen. It travels with
    /// the rail through edits, undo and redo, so a fault of that check finds
    /// the rail it named after indices have shifted.
    std::uint32_t RouteId = 0;

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
