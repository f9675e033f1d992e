#include "tools/RenderMap.h"

#include "draw/Overview.h"
#include "draw/OverviewScale.h"
#include "model/Errors.h"
#include "platform/qt/QtCanvas.h"
#include "tools/MapDiff.h"

namespace {

constexpr TColor RemovedColor = clRed;
constexpr TColor AddedColor = clLime;

template <class Record>
void DrawRecords(const std::vector<Record>& records, TColor color, const TOverviewScale& scale, TCanvas& canvas)
{
    canvas.SetPenColor(color);
    canvas.SetPenWidth(1);
    canvas.SetBrushColor(color);
    for (const Record& r : records) {
        const std::int32_t x1 = scale.RoundedX(r.X1), y1 = scale.RoundedY(r.Y1);
        const std::int32_t x2 = scale.RoundedX(r.X2), y2 = scale.RoundedY(r.Y2);
        if (x1 == x2 && y1 == y2) {
            // A line that starts and ends on one pixel draws none.
            canvas.Rectangle(x1 - 1, y1 - 1, x1 + 2, y1 + 2);
            continue;
        }
        canvas.MoveTo(x1, y1);
        canvas.LineTo(x2, y2);
    }
}

template <class Record>
void TakeRecords(const std::vector<Record>& records, TOverviewBounds& bounds)
{
    for (const Record& r : records) {
        bounds.Take(r.X1, r.Y1);
        bounds.Take(r.X2, r.Y2);
    }
}

void SavePicture(TQtBitmap& bitmap, const std::string& path, TPictureFormat format)
{
    // The same writer as the editor's export: a BMP byte for byte as it writes one.
    SaveImageToFile(bitmap.Image(), format == TPictureFormat::Bmp ? "BMP" : "PNG", path);
}

} // namespace

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
    SavePicture(bitmap, path, format);
}

void RenderDiffPicture(const TMap& b, const TMapDiff& diff, std::int32_t size, const std::string& path,
                       TPictureFormat format)
{
    TOverviewBounds bounds = OverviewBounds(b);
    TakeRecords(diff.RemovedBorders, bounds);
    TakeRecords(diff.RemovedRails, bounds);
    const TOverviewScale scale(bounds, size, size);
    TQtBitmap bitmap;
    bitmap.SetWidth(size);
    bitmap.SetHeight(size);
    TCanvas& canvas = bitmap.Canvas();
    DrawOverviewLines(b, canvas, scale, nullptr);
    DrawRecords(diff.RemovedBorders, RemovedColor, scale, canvas);
    DrawRecords(diff.RemovedRails, RemovedColor, scale, canvas);
    DrawRecords(diff.AddedBorders, AddedColor, scale, canvas);
    DrawRecords(diff.AddedRails, AddedColor, scale, canvas);
    SavePicture(bitmap, path, format);
}
