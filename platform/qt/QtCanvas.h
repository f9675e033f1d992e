#pragma once
// The canvas and bitmap with QPainter on a QImage.
#include <QImage>
#include <memory>

#include "platform/Canvas.h"

class TQtCanvas;

/// A bitmap held in a QImage (RGB32), black when created or resized.
class TQtBitmap : public TBitmap {
public:
    TQtBitmap();
    ~TQtBitmap() override;
    void SetWidth(std::int32_t width) override;
    void SetHeight(std::int32_t height) override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;
    TCanvas& Canvas() override;
    void SaveToFile(const std::string& fileName) const override;
    /// The pixels, for copying onto a widget and for tests.
    const QImage& Image() const;

private:
    std::unique_ptr<TQtCanvas> canvas_;
};

class TQtBitmapFactory : public TBitmapFactory {
public:
    std::unique_ptr<TBitmap> CreateBitmap() override;
};
