#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

#include "platform/Errors.h"
#include "platform/FileWriter.h"
#include "platform/qt/QtCanvas.h"

TQtBitmap::TQtBitmap() : canvas_(std::make_unique<TQtCanvas>()) {}

TQtBitmap::~TQtBitmap() = default;

void TQtBitmap::SetWidth(std::int32_t width) { canvas_->Resize(width, canvas_->Height()); }

void TQtBitmap::SetHeight(std::int32_t height) { canvas_->Resize(canvas_->Width(), height); }

std::int32_t TQtBitmap::Width() const { return canvas_->Width(); }

std::int32_t TQtBitmap::Height() const { return canvas_->Height(); }

TCanvas& TQtBitmap::Canvas() { return *canvas_; }

const QImage& TQtBitmap::Image() const { return canvas_->Image(); }

void TQtBitmap::SaveToFile(const std::string& fileName) const { SaveImageToFile(Image(), "BMP", fileName); }

void SaveImageToFile(const QImage& image, const char* format, const std::string& fileName)
{
    // Encoded in memory, then written like every other file of the program.
    if (image.isNull()) throw EFileError(fileName, "the picture is empty");
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) throw EFileError(fileName, writer.errorString().toStdString());
    WriteWholeFile(fileName, [&encoded](TByteSink& sink) {
        sink.Put(reinterpret_cast<const std::uint8_t*>(encoded.constData()), static_cast<std::size_t>(encoded.size()));
    });
}

std::unique_ptr<TBitmap> TQtBitmapFactory::CreateBitmap() { return std::make_unique<TQtBitmap>(); }
