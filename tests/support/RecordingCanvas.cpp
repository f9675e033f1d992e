#include "tests/support/RecordingCanvas.h"

#include <cstdio>

#include "model/Errors.h"

namespace {

std::string Args(std::initializer_list<std::int32_t> values)
{
    std::string text = "(";
    bool first = true;
    for (const std::int32_t v : values) {
        if (!first) text += ',';
        text += std::to_string(v);
        first = false;
    }
    return text + ")";
}

class TRecordingBitmap : public TBitmap {
public:
    TRecordingBitmap(std::shared_ptr<TRecordedBitmap> record, TRecordingBitmapFactory& factory)
        : record_(std::move(record)), factory_(factory)
    {
    }
    ~TRecordingBitmap() override
    {
        record_->Released = true;
        Log("Release");
    }
    void SetWidth(std::int32_t width) override
    {
        record_->Width = width;
        Log("SetWidth", "(" + std::to_string(width) + ")");
    }
    void SetHeight(std::int32_t height) override
    {
        record_->Height = height;
        Log("SetHeight", "(" + std::to_string(height) + ")");
    }
    std::int32_t Width() const override { return record_->Width; }
    std::int32_t Height() const override { return record_->Height; }
    TCanvas& Canvas() override { return record_->Canvas; }
    void SaveToFile(const std::string& fileName) const override
    {
        if (factory_.FailSaving) throw EFileError(fileName, "cannot write");
        record_->SavedAs.push_back(fileName);
        Log("Save", "(" + fileName + ")");
    }

private:
    void Log(const std::string& what, const std::string& args = "") const
    {
        factory_.Events.push_back(what + "#" + std::to_string(record_->Id) + args);
    }

    std::shared_ptr<TRecordedBitmap> record_;
    TRecordingBitmapFactory& factory_;
};

} // namespace

std::string ColorText(TColor color)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(color));
    return text;
}

void TRecordingCanvas::SetPenColor(TColor color)
{
    PenColor = color;
    Calls.push_back("SetPenColor(" + ColorText(color) + ")");
}

void TRecordingCanvas::SetPenWidth(std::int32_t width)
{
    PenWidth = width;
    Calls.push_back("SetPenWidth" + Args({width}));
}

void TRecordingCanvas::SetPenStyle(TPenStyle style)
{
    PenStyle = style;
    Calls.push_back("SetPenStyle(Solid)");
}

void TRecordingCanvas::SetBrushColor(TColor color)
{
    BrushColor = color;
    BrushStyle = TBrushStyle::Solid;
    Calls.push_back("SetBrushColor(" + ColorText(color) + ")");
}

void TRecordingCanvas::SetBrushStyle(TBrushStyle style)
{
    BrushStyle = style;
    Calls.push_back(style == TBrushStyle::Solid ? "SetBrushStyle(Solid)" : "SetBrushStyle(Clear)");
}

void TRecordingCanvas::Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    Calls.push_back("Rectangle" + Args({x1, y1, x2, y2}));
}

void TRecordingCanvas::Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    Calls.push_back("Ellipse" + Args({x1, y1, x2, y2}));
}

void TRecordingCanvas::MoveTo(std::int32_t x, std::int32_t y)
{
    PenX = x;
    PenY = y;
    Calls.push_back("MoveTo" + Args({x, y}));
}

void TRecordingCanvas::LineTo(std::int32_t x, std::int32_t y)
{
    PenX = x;
    PenY = y;
    Calls.push_back("LineTo" + Args({x, y}));
}

void TRecordingCanvas::Draw(std::int32_t x, std::int32_t y, const TBitmap& bitmap)
{
    Calls.push_back("Draw(" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(bitmap.Width()) +
                    "x" + std::to_string(bitmap.Height()) + ")");
}

std::vector<std::string> TRecordingCanvas::CallsOf(const std::vector<std::string>& prefixes) const
{
    std::vector<std::string> out;
    for (const std::string& call : Calls)
        for (const std::string& prefix : prefixes)
            if (call.rfind(prefix, 0) == 0) {
                out.push_back(call);
                break;
            }
    return out;
}

std::unique_ptr<TBitmap> TRecordingBitmapFactory::CreateBitmap()
{
    auto record = std::make_shared<TRecordedBitmap>();
    record->Id = static_cast<int>(Bitmaps.size()) + 1;
    Bitmaps.push_back(record);
    Events.push_back("Create#" + std::to_string(record->Id));
    return std::make_unique<TRecordingBitmap>(record, *this);
}
