#include "draw/PictureExport.h"

#include "draw/Overview.h"

bool ExportPicture(const TMap& map, TFileDialog& pictureDialog, TBitmapFactory& bitmaps)
{
    // The bitmap is released on every path, the error paths included.
    const std::unique_ptr<TBitmap> picture = bitmaps.CreateBitmap();
    if (!pictureDialog.Execute()) return false;
    picture->SetWidth(PictureSize);
    picture->SetHeight(PictureSize);
    DrawOverview(map, picture->Canvas(), PictureSize, PictureSize);
    picture->SaveToFile(pictureDialog.FileName());
    return true;
}
