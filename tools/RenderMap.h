#pragma once
// The whole map as a picture file, drawn exactly as the editor's picture export draws it.
#include <cstdint>
#include <optional>
#include <string>

#include "model/TMap.h"

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
