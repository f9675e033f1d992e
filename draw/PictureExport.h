#pragma once
// Exporting a map as a 1000 x 1000 BMP picture.
#include <cstdint>
#include <string>

#include "model/TMap.h"
#include "platform/Canvas.h"
#include "platform/Dialogs.h"

/// Width and height of an exported picture.
constexpr std::int32_t PictureSize = 1000;

/// The file a name chosen in the picture dialog stands for: ".bmp" added to a
/// name without extension (a leading dot is part of the name).
std::string PictureFileName(const std::string& chosen);

/// Asks for a file with the picture dialog and writes the whole map there as
/// a 1000 x 1000 BMP. A file that an open map is bound to (openMapOfFile) is
/// refused with a message naming that map; an existing file is replaced only
/// after a Yes. Nothing is written on cancel, refusal or No. True when a file
/// was written; a failed write raises EFileError.
bool ExportPicture(const TMap& map, TFileDialog& pictureDialog, TBitmapFactory& bitmaps,
                   const TOpenMapOfFile& openMapOfFile = {});
