#pragma once
// Exporting a map as a 1000 x 1000 BMP picture.
#include <cstdint>

#include "model/TMap.h"
#include "platform/Canvas.h"
#include "platform/Dialogs.h"

/// Width and height of an exported picture.
constexpr std::int32_t PictureSize = 1000;

/// Asks for a file with the picture dialog and writes the whole map there as
/// a 1000 x 1000 BMP, under the name exactly as chosen. Nothing is written on
/// cancel. True when a file was written; a failed write raises EFileError.
bool ExportPicture(const TMap& map, TFileDialog& pictureDialog, TBitmapFactory& bitmaps);
