#pragma once
// The whole map as a picture file, drawn exactly as the editor's picture export draws it.
#include <cstdint>
#include <optional>
#include <string>

#include "model/TMap.h"

struct TMapDiff;

enum class TPictureFormat { Bmp, Png };

constexpr std::int32_t MinPictureSize = 16;
constexpr std::int32_t MaxPictureSize = 8000;
constexpr std::int32_t DefaultPictureSize = 1000;

/// The format named by the path's extension (".bmp" or ".png", any case), or none.
std::optional<TPictureFormat> PictureFormatOf(const std::string& path);

/// Draws the map with DrawOverview onto a size x size bitmap and writes it to
/// path. A BMP goes through the bitmap's own writer, as the export does.
/// Raises EFileError with the reason when the file cannot be written.
void RenderMapPicture(const TMap& map, std::int32_t size, const std::string& path, TPictureFormat format);

/// The picture of render for map b, with the elements that diff removed drawn
/// over it in red and those it added in green, one pixel wide, or as a 3 x 3
/// dot where both ends fall on one pixel and the line would draw nothing.
/// The frame is b's, widened to take in removed elements that lie beyond it,
/// so that the base picture is render's own whenever none does.
void RenderDiffPicture(const TMap& b, const TMapDiff& diff, std::int32_t size, const std::string& path,
                       TPictureFormat format);
