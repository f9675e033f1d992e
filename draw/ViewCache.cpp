#include "draw/ViewCache.h"

#include <optional>

#include "draw/MapDraw.h"

namespace {

/// What the cached picture shows. Id and Revision cover every change of the
/// elements (only the map's operations make them); the view and the marks are
/// fields that anyone may write.
struct TViewKey {
    std::uint64_t Id = 0;
    std::uint64_t Revision = 0;
    TViewTransform View;
    std::int32_t StartRail = 0, FinishRail = 0, SelRail = 0, SelBorder = 0;
    friend bool operator==(const TViewKey&, const TViewKey&) = default;
};

TViewKey KeyOf(const TMap& map)
{
    return {map.Id(),       map.Revision(), map.View(),   map.StartRail,
            map.FinishRail, map.SelRail,    map.SelBorder};
}

/// The canvas state that drawing leaves, to be set again on another canvas.
struct TCanvasState {
    TColor PenColor = clBlack;
    std::int32_t PenWidth = 1;
    TPenStyle PenStyle = TPenStyle::Solid;
    TColor BrushColor = clBlack;
    TBrushStyle BrushStyle = TBrushStyle::Solid;
    std::int32_t X = 0, Y = 0;

    void ApplyTo(TCanvas& canvas) const
    {
        canvas.SetPenColor(PenColor);
        canvas.SetPenWidth(PenWidth);
        canvas.SetPenStyle(PenStyle);
        canvas.SetBrushColor(BrushColor); // also turns the brush solid
        if (BrushStyle != TBrushStyle::Solid) canvas.SetBrushStyle(BrushStyle);
        canvas.MoveTo(X, Y);
    }
};

/// Passes every call on and remembers the state it leaves.
class TStateCanvas : public TCanvas {
public:
    TStateCanvas(TCanvas& target, TCanvasState& state) : target_(target), state_(state) {}
    void SetPenColor(TColor color) override { target_.SetPenColor(state_.PenColor = color); }
    void SetPenWidth(std::int32_t width) override { target_.SetPenWidth(state_.PenWidth = width); }
    void SetPenStyle(TPenStyle style) override { target_.SetPenStyle(state_.PenStyle = style); }
    void SetBrushColor(TColor color) override
    {
        target_.SetBrushColor(state_.BrushColor = color);
        state_.BrushStyle = TBrushStyle::Solid;
    }
    void SetBrushStyle(TBrushStyle style) override { target_.SetBrushStyle(state_.BrushStyle = style); }
    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        target_.Rectangle(x1, y1, x2, y2);
    }
    void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        target_.Ellipse(x1, y1, x2, y2);
    }
    void MoveTo(std::int32_t x, std::int32_t y) override
    {
        state_.X = x;
        state_.Y = y;
        target_.MoveTo(x, y);
    }
    void LineTo(std::int32_t x, std::int32_t y) override
    {
        state_.X = x;
        state_.Y = y;
        target_.LineTo(x, y);
    }
    void Draw(std::int32_t x, std::int32_t y, const TBitmap& bitmap) override { target_.Draw(x, y, bitmap); }

private:
    TCanvas& target_;
    TCanvasState& state_;
};

} // namespace

struct TViewCache::State {
    explicit State(TBitmapFactory& factory) : Bitmaps(factory) {}

    TBitmapFactory& Bitmaps;
    std::unique_ptr<TBitmap> Picture;
    std::optional<TViewKey> Key;
    TCanvasState Left;
    std::uint64_t Rebuilds = 0;
};

TViewCache::TViewCache(TBitmapFactory& bitmaps) : state_(std::make_unique<State>(bitmaps)) {}

TViewCache::~TViewCache() = default;

void TViewCache::Refresh(const TMap& map)
{
    State& s = *state_;
    const TViewKey key = KeyOf(map);
    if (!s.Key || !(*s.Key == key)) {
        s.Key.reset();
        if (!s.Picture) s.Picture = s.Bitmaps.CreateBitmap();
        if (s.Picture->Width() != map.ViewWidth) s.Picture->SetWidth(map.ViewWidth > 0 ? map.ViewWidth : 0);
        if (s.Picture->Height() != map.ViewHeight) s.Picture->SetHeight(map.ViewHeight > 0 ? map.ViewHeight : 0);
        TStateCanvas recorder(s.Picture->Canvas(), s.Left);
        ::DrawView(map, recorder);
        s.Key = key;
        ++s.Rebuilds;
    }
}

bool TViewCache::Shows(const TMap& map) const { return state_->Key && *state_->Key == KeyOf(map); }

void TViewCache::DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y, std::uint8_t placing)
{
    DrawView(map, canvas);
    DrawSnap(map, canvas, x, y, placing);
}

void TViewCache::DrawView(const TMap& map, TCanvas& canvas)
{
    Refresh(map);
    State& s = *state_;
    canvas.Draw(0, 0, *s.Picture);
    s.Left.ApplyTo(canvas);
}

void TViewCache::Invalidate() { state_->Key.reset(); }

std::uint64_t TViewCache::Rebuilds() const { return state_->Rebuilds; }
