#include <QImageWriter>
#include <QSaveFile>

#include "model/Errors.h"
#include "platform/qt/QtCanvas.h"

TQtBitmap::TQtBitmap() : canvas_(std::make_unique<TQtCanvas>()) {}

TQtBitmap::~TQtBitmap() = default;

void TQtBitmap::SetWidth(std::int32_t width) { canvas_->Resize(width, canvas_->Height()); }

void TQtBitmap::SetHeight(std::int32_t height) { canvas_->Resize(canvas_->Width(), height); }

std::int32_t TQtBitmap::Width() const { return canvas_->Width(); }

std::int32_t TQtBitmap::Height() const { return canvas_->Height(); }

TCanvas& TQtBitmap::Canvas() { return *canvas_; }

const QImage& TQtBitmap::Image() const { return canvas_->Image(); }

void TQtBitmap::SaveToFile(const std::string& fileName) const
{
    const QImage& image = Image();
    QSaveFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::WriteOnly))
        throw EFileError(fileName + ": " + file.errorString().toStdString());
    QImageWriter writer(&file, "BMP");
    if (image.isNull() || !writer.write(image)) {
        const std::string reason =
            image.isNull() ? std::string("the picture is empty") : writer.errorString().toStdString();
        file.cancelWriting();
        throw EFileError(fileName + ": " + reason);
    }
    if (!file.commit()) throw EFileError(fileName + ": " + file.errorString().toStdString());
}

std::unique_ptr<TBitmap> TQtBitmapFactory::CreateBitmap() { return std::make_unique<TQtBitmap>(); }
