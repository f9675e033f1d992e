#include "draw/PictureExport.h"

#include "draw/Overview.h"
#include "model/MapFile.h"
#include "platform/LongWork.h"

namespace {

/// Whether the picture may go to path: never over a map's file, and over
/// another existing file only when the user says so.
bool MayWritePicture(const std::string& path, const TOpenMapOfFile& openMapOfFile)
{
    if (openMapOfFile) {
        if (const std::optional<std::string> owner = openMapOfFile(path)) {
            Messages().ShowError(AlreadyOpenText(*owner));
            return false;
        }
    }
    if (!FileExistsAt(path)) return true;
    const std::size_t separator = path.find_last_of("\\/");
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    return Messages().Confirm("Файл " + name + " уже существует. Заменить?", TMsgButtons::YesNo) == TMsgResult::Yes;
}

} // namespace

std::string PictureFileName(const std::string& chosen)
{
    return ExtensionStart(chosen, ".bmp") == chosen.size() ? chosen + ".bmp" : chosen;
}

bool ExportPicture(const TMap& map, TFileDialog& pictureDialog, TBitmapFactory& bitmaps,
                   const TOpenMapOfFile& openMapOfFile)
{
    // The bitmap is released on every path, the error paths included.
    const std::unique_ptr<TBitmap> picture = bitmaps.CreateBitmap();
    if (!pictureDialog.Execute()) return false;
    const std::string path = PictureFileName(pictureDialog.FileName());
    if (!MayWritePicture(path, openMapOfFile)) return false;
    // Drawing a large map takes a while: the window may run it beside its
    // ticks, which only read the map.
    RunLongWork("Экспорт: " + FileNameOfPath(path), MapFileSize(map), [&] {
        picture->SetWidth(PictureSize);
        picture->SetHeight(PictureSize);
        DrawOverview(map, picture->Canvas(), PictureSize, PictureSize);
        picture->SaveToFile(path);
    });
    return true;
}
