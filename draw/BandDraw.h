#pragma once
// The band of the select tool: a thin dashed rectangle over the frame.
#include <cstdint>

#include "platform/Canvas.h"

/// Dashes of the band, in pixels: so many drawn, then so many left out.
constexpr std::int32_t BandDash = 4;
/// The band's colour: light on the black view, apart from every element colour in use.
constexpr TColor BandColor = 0xC0C0C0;

/// The band between view points (x1, y1) and (x2, y2), corners included, in
/// dashes of BandDash pixels along each edge, counted from its top-left corner.
void DrawBand(TCanvas& canvas, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
