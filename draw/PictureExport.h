#pragma once
// Exporting a map as a 1000 x 1000 BMP picture.
#include "model/TMap.h"
#include "platform/Canvas.h"
#include "platform/Dialogs.h"

/// Asks for a file with the picture dialog and writes the whole map there as
/// a 1000 x 1000 BMP, under the name exactly as chosen. Nothing is written on
/// cancel. True when a file was written.
bool ExportPicture(const TMap& map, TFileDialog& pictureDialog, TBitmapFactory& bitmaps);
