#include "draw/OverviewCache.h"

#include <optional>
#include <vector>

#include "draw/OverviewScale.h"

namespace {

/// What the cached picture was drawn from. Id and Revision cover every change
/// the map makes through its operations; the counts and indices guard against
/// fields written directly.
struct TPictureKey {
    std::uint64_t Id = 0;
    std::uint64_t Revision = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t RailCount = 0;
    std::int32_t BorderCount = 0;
    std::int32_t StartRail = 0;
    std::int32_t FinishRail = 0;
    std::int32_t SelRail = 0;
    friend bool operator==(const TPictureKey&, const TPictureKey&) = default;
};

TPictureKey KeyOf(const TMap& map, std::int32_t width, std::int32_t height)
{
    return {map.Id(),        map.Revision(),      width,          height,     map.RailCount(),
            map.BorderCount(), map.StartRail, map.FinishRail, map.SelRail};
}

struct TLineRecord {
    TColor Color;
    std::int32_t X1, Y1, X2, Y2;
};

/// Keeps the lines that reach outside the cached rectangle, and the last line.
class TEdgeCollector : public TOverviewLineSink {
public:
    TEdgeCollector(std::int32_t width, std::int32_t height, std::vector<TLineRecord>& edges,
                   std::optional<TLineRecord>& last)
        : width_(width), height_(height), edges_(edges), last_(last)
    {
    }
    void Line(TColor color, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        const TLineRecord line{color, x1, y1, x2, y2};
        if (!Inside(x1, y1) || !Inside(x2, y2)) edges_.push_back(line);
        last_ = line;
    }

private:
    bool Inside(std::int32_t x, std::int32_t y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }

    const std::int32_t width_;
    const std::int32_t height_;
    std::vector<TLineRecord>& edges_;
    std::optional<TLineRecord>& last_;
};

} // namespace

struct TOverviewCache::State {
    explicit State(TBitmapFactory& factory) : Bitmaps(factory) {}

    TBitmapFactory& Bitmaps;
    std::unique_ptr<TBitmap> Picture;
    std::optional<TPictureKey> Key;
    std::optional<TOverviewScale> Scale;
    std::vector<TLineRecord> Edges;
    std::optional<TLineRecord> Last;
    std::uint64_t Rebuilds = 0;

    void Rebuild(const TMap& map, const TPictureKey& key)
    {
        Key.reset();
        Edges.clear();
        Last.reset();
        Scale.emplace(map, key.Width, key.Height);
        if (!Picture) Picture = Bitmaps.CreateBitmap();
        Picture->SetWidth(key.Width > 0 ? key.Width : 0);
        Picture->SetHeight(key.Height > 0 ? key.Height : 0);
        TEdgeCollector collector(key.Width, key.Height, Edges, Last);
        DrawOverviewLines(map, Picture->Canvas(), *Scale, &collector);
        Key = key;
        ++Rebuilds;
    }
};

TOverviewCache::TOverviewCache(TBitmapFactory& bitmaps) : state_(std::make_unique<State>(bitmaps)) {}

TOverviewCache::~TOverviewCache() = default;

void TOverviewCache::Draw(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height,
                          std::int32_t scrollX, std::int32_t scrollY)
{
    State& s = *state_;
    const TPictureKey key = KeyOf(map, width, height);
    if (!s.Key || !(*s.Key == key)) s.Rebuild(map, key);

    canvas.SetPenColor(clBlack);
    canvas.SetPenWidth(1);
    canvas.SetBrushColor(clBlack);
    canvas.SetBrushStyle(TBrushStyle::Solid);
    canvas.Draw(0, 0, *s.Picture);
    if (!s.Edges.empty()) {
        for (const TLineRecord& line : s.Edges) {
            canvas.SetPenColor(line.Color);
            canvas.MoveTo(line.X1, line.Y1);
            canvas.LineTo(line.X2, line.Y2);
        }
        canvas.Draw(0, 0, *s.Picture);
    }
    if (s.Last) canvas.MoveTo(s.Last->X2, s.Last->Y2);
    DrawViewportOutline(map, canvas, *s.Scale, scrollX, scrollY);
}

void TOverviewCache::Invalidate() { state_->Key.reset(); }

std::uint64_t TOverviewCache::Rebuilds() const { return state_->Rebuilds; }
