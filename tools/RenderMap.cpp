#include "tools/RenderMap.h"

#include <QBuffer>
#include <QByteArray>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

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
    if (format == TPictureFormat::Bmp) {
        bitmap.SaveToFile(path);
        return;
    }
    // Encoded in memory and written with the standard library, so that a file
    // name that is not valid UTF-8 is still used byte for byte.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!bitmap.Image().save(&buffer, "PNG")) throw EFileError("cannot encode PNG");
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    errno = 0;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(encoded.constData(), encoded.size());
    if (out) out.close();
    if (!out) {
        const int error = errno;
        throw EFileError(error ? std::strerror(error) : "cannot be written");
    }
}
