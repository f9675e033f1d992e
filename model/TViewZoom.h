#pragma once
// The main view's scale: how many pixels one world unit takes.
#include <bit>
#include <cstdint>

/// A power of two from 1/16 to 8 pixels per unit. A world point x lies on the
/// pixel floor((x - origin) * scale) of a view whose origin is origin, and the
/// pixel p shows the world point origin + floor(p / scale): at scale 1 both
/// are the identity, at 2 a unit takes two pixels, at 1/2 a pixel shows the
/// first of its two units. The rounding is a floor on both sides, so a world
/// point's pixel and a pixel's world point never depend on which side of the
/// origin they lie.
struct TViewZoom {
    static constexpr std::int32_t MinShift = -4;
    static constexpr std::int32_t MaxShift = 3;
    /// The scale is 2 to this power.
    std::int32_t Shift = 0;

    bool IsOne() const { return Shift == 0; }
    /// Pixels per unit as a number: 2^Shift, built from its exponent bits, as
    /// picking and snapping ask it for every element near the view.
    double Scale() const { return std::bit_cast<double>(static_cast<std::uint64_t>(1023 + Shift) << 52); }
    /// The pixel offset of the world offset d: floor(d * scale).
    std::int64_t ToPixels(std::int64_t d) const { return Shift >= 0 ? d * (std::int64_t{1} << Shift) : d >> -Shift; }
    /// The world offset that the pixel offset p shows: floor(p / scale).
    std::int64_t ToWorld(std::int64_t p) const { return Shift >= 0 ? p >> Shift : p * (std::int64_t{1} << -Shift); }
    /// How many world units fit in the given pixels: floor(pixels / scale).
    std::int32_t Extent(std::int32_t pixels) const { return static_cast<std::int32_t>(ToWorld(pixels)); }
    /// The greatest world offset whose pixel is at most the given pixel: an
    /// element with both ends further lies wholly beyond that edge.
    std::int32_t Span(std::int32_t pixels) const
    {
        return static_cast<std::int32_t>(Shift >= 0 ? std::int64_t{pixels} >> Shift
                                                    : ((std::int64_t{pixels} + 1) << -Shift) - 1);
    }
    friend bool operator==(const TViewZoom&, const TViewZoom&) = default;
};
