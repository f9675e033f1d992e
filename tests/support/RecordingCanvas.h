#pragma once
// A canvas that draws nothing and logs every call with its arguments, and a
// bitmap factory whose in-memory bitmaps keep their history after release.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"

/// Logs calls as text, e.g. "SetPenColor(0x8888FF)", "SetPenWidth(3)",
/// "SetBrushStyle(Clear)", "Rectangle(0,0,718,600)", "MoveTo(45,-3)",
/// "LineTo(50,0)", "Ellipse(-2,-2,2,2)", "Draw(0,0,137x137)". Colours are six
/// upper-case hex digits. It also keeps the state a real canvas would keep.
class TRecordingCanvas : public TCanvas {
public:
    void SetPenColor(TColor color) override;
    void SetPenWidth(std::int32_t width) override;
    void SetPenStyle(TPenStyle style) override;
    void SetBrushColor(TColor color) override;
    void SetBrushStyle(TBrushStyle style) override;
    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    void Draw(std::int32_t x, std::int32_t y, const TBitmap& bitmap) override;

    /// Forgets the logged calls; the state stays.
    void ClearCalls() { Calls.clear(); }
    /// Only the calls whose text starts with one of the given prefixes.
    std::vector<std::string> CallsOf(const std::vector<std::string>& prefixes) const;

    std::vector<std::string> Calls;
    TColor PenColor = 0x000000;
    std::int32_t PenWidth = 1;
    TPenStyle PenStyle = TPenStyle::Solid;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::Solid;
    std::int32_t PenX = 0;
    std::int32_t PenY = 0;
};

/// What a recording bitmap did during its life.
struct TRecordedBitmap {
    int Id = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    TRecordingCanvas Canvas;
    std::vector<std::string> SavedAs;
    bool Released = false;
};

/// Makes recording bitmaps. Events logs "Create#1", "SetWidth#1(1000)",
/// "SetHeight#1(1000)", "Save#1(<name>)", "Release#1" in order; each bitmap's
/// record outlives the bitmap.
class TRecordingBitmapFactory : public TBitmapFactory {
public:
    std::unique_ptr<TBitmap> CreateBitmap() override;

    std::vector<std::string> Events;
    std::vector<std::shared_ptr<TRecordedBitmap>> Bitmaps;
    /// When set, SaveToFile raises EFileError instead of recording.
    bool FailSaving = false;
};

/// "0x" and six upper-case hex digits, as the recording canvas writes colours.
std::string ColorText(TColor color);
