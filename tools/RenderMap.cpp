#include "tools/RenderMap.h"

#include "draw/Overview.h"
#include "model/Errors.h"
#include "platform/qt/QtCanvas.h"

std::optional<TPictureFormat> PictureFormatOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (extension == "bmp") return TPictureFormat::Bmp;
    if (extension == "png") return TPictureFormat::Png;
    return std::nullopt;
}

void RenderMapPicture(const TMap& map, std::int32_t size, const std::string& path, TPictureFormat format)
{
    TQtBitmap bitmap;
    bitmap.SetWidth(size);
    bitmap.SetHeight(size);
    DrawOverview(map, bitmap.Canvas(), size, size);
    // The same writer as the editor's export: a BMP byte for byte as it writes one.
    SaveImageToFile(bitmap.Image(), format == TPictureFormat::Bmp ? "BMP" : "PNG", path);
}
