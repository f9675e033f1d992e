#include "draw/OverviewCache.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "draw/OverviewScale.h"

namespace {

/// What the cached picture was drawn from. Id and Layout cover every change
/// of the elements (only the map's operations make them) but the moves of its
/// last border's or rail's second end, which the cache compares itself; the
/// marks are fields that anyone may write.
struct TPictureKey {
    std::uint64_t Id = 0;
    std::uint64_t Layout = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t StartRail = 0;
    std::int32_t FinishRail = 0;
    std::int32_t SelRail = 0;
    friend bool operator==(const TPictureKey&, const TPictureKey&) = default;
};

TPictureKey KeyOf(const TMap& map, std::int32_t width, std::int32_t height)
{
    return {map.Id(), map.Layout(), width, height, map.StartRail, map.FinishRail, map.SelRail};
}

/// The element left out of the picture and drawn over it at every call.
enum class TMoving : std::uint8_t { Nothing, LastBorder, LastRail };

/// The ends (and colour) of a last element as the picture saw them.
struct TEnds {
    std::int32_t X1, Y1, X2, Y2;
    TColor Color;
    friend bool operator==(const TEnds&, const TEnds&) = default;
};

std::optional<TEnds> LastBorderOf(const TMap& map)
{
    if (map.Borders().empty()) return std::nullopt;
    const TBorder& b = map.Borders().back();
    return TEnds{b.X1, b.Y1, b.X2, b.Y2, b.Color};
}

std::optional<TEnds> LastRailOf(const TMap& map)
{
    if (map.Rails().empty()) return std::nullopt;
    const TRail& r = map.Rails().back();
    return TEnds{r.X1, r.Y1, r.X2, r.Y2, 0};
}

/// Only the second end differs.
bool SecondEndMoved(const std::optional<TEnds>& was, const std::optional<TEnds>& now)
{
    return was && now && was->X1 == now->X1 && was->Y1 == now->Y1 && was->Color == now->Color;
}

/// The picture's frame is the scale's: bounds that equal it leave every line as it was.
bool SameFrame(const TOverviewBounds& bounds, const TOverviewScale& scale)
{
    return bounds.MinX == scale.MinX && bounds.MinY == scale.MinY &&
           std::int64_t{bounds.MaxX} - bounds.MinX == scale.RangeX &&
           std::int64_t{bounds.MaxY} - bounds.MinY == scale.RangeY;
}

bool Inside(const TOverviewLine& l, std::int32_t width, std::int32_t height)
{
    const auto in = [&](std::int32_t x, std::int32_t y) { return x >= 0 && x < width && y >= 0 && y < height; };
    return in(l.X1, l.Y1) && in(l.X2, l.Y2);
}

void DrawLine(TCanvas& canvas, const TOverviewLine& l)
{
    canvas.SetPenColor(l.Color);
    canvas.MoveTo(l.X1, l.Y1);
    canvas.LineTo(l.X2, l.Y2);
}

/// Keeps the lines that reach outside the cached rectangle (counting those
/// among the first borders lines, the borders), the last line, and, when
/// asked, every line after the borders.
class TLineCollector : public TOverviewLineSink {
public:
    TLineCollector(std::int32_t width, std::int32_t height, std::size_t borders) noexcept
        : width_(width), height_(height), borders_(borders)
    {
    }
    void Line(TColor color, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        const TOverviewLine line{color, x1, y1, x2, y2};
        const bool border = seen_++ < borders_;
        if (!Inside(line, width_, height_)) {
            Edges.push_back(line);
            if (border) ++BorderEdges;
        }
        Last = line;
    }

    std::vector<TOverviewLine> Edges;
    std::size_t BorderEdges = 0;
    std::optional<TOverviewLine> Last;

private:
    const std::int32_t width_;
    const std::int32_t height_;
    const std::size_t borders_;
    std::size_t seen_ = 0;
};

} // namespace

struct TOverviewCache::State {
    explicit State(TBitmapFactory& factory) : Bitmaps(factory) {}

    TBitmapFactory& Bitmaps;
    std::unique_ptr<TBitmap> Picture;
    std::optional<TPictureKey> Key;
    std::optional<TOverviewScale> Scale;
    /// The picture's lines that leave it, in drawing order; the first
    /// BorderEdges of them are borders.
    std::vector<TOverviewLine> Edges;
    std::size_t BorderEdges = 0;
    /// The last line of the picture.
    std::optional<TOverviewLine> Last;
    std::uint64_t Rebuilds = 0;
    std::uint64_t Patches = 0;
    /// The map's revision that the picture shows (but for what Moving leaves out).
    std::uint64_t Revision = 0;
    /// The rails and borders the map had then.
    std::int32_t RailsDrawn = 0;
    std::int32_t BordersDrawn = 0;

    TMoving Moving = TMoving::Nothing;
    std::optional<TEnds> LastBorder;
    std::optional<TEnds> LastRail;
    /// The bounds of every element but the moving one.
    TOverviewBounds Others;

    /// The elements a grid names near a part of the picture.
    std::vector<std::int32_t> Near;
    /// Where a part of the picture is composed (a moving border under the
    /// rails, a part drawn again after an edit) and the part copied out of it.
    std::unique_ptr<TBitmap> Layer;
    std::unique_ptr<TBitmap> PatchBitmap;

    /// Remembers what the picture now shows: the map as of this revision, drawn with key, leaving out moving.
    void Drawn(const TMap& map, const TPictureKey& key, TMoving moving)
    {
        Moving = moving;
        LastBorder = LastBorderOf(map);
        LastRail = LastRailOf(map);
        Revision = map.Revision();
        RailsDrawn = map.RailCount();
        BordersDrawn = map.BorderCount();
        Key = key;
    }

    void Rebuild(const TMap& map, const TPictureKey& key, TMoving moving)
    {
        Key.reset();
        Edges.clear();
        Last.reset();
        Scale.emplace(map, key.Width, key.Height);
        if (!Picture) Picture = Bitmaps.CreateBitmap();
        Picture->SetWidth(key.Width > 0 ? key.Width : 0);
        Picture->SetHeight(key.Height > 0 ? key.Height : 0);

        const std::size_t borderLines = map.Borders().size() - (moving == TMoving::LastBorder ? 1 : 0);
        TLineCollector collector(key.Width, key.Height, borderLines);
        TOverviewLeaveOut leaveOut;
        leaveOut.LastBorder = moving == TMoving::LastBorder;
        leaveOut.LastRail = leaveOut.Selected = moving == TMoving::LastRail;
        if (moving != TMoving::Nothing) Others = OverviewBounds(map, leaveOut);
        DrawOverviewLines(map, Picture->Canvas(), *Scale, &collector, leaveOut);

        Edges = std::move(collector.Edges);
        BorderEdges = collector.BorderEdges;
        Last = collector.Last;
        Drawn(map, key, moving);
        ++Rebuilds;
    }

    /// Brings the picture up to the map, leaving out what moving names, by
    /// drawing again only the pixels that the edits since its revision (and
    /// the marks moved since) may have changed: every line that reaches them,
    /// found through the map's grids, in drawing order, over the background.
    /// False, having changed nothing, when that cannot give the pixels of a
    /// picture drawn afresh: the frame changed, a changed line may leave the
    /// picture (the lines kept for outside it would change), the journal no
    /// longer reaches back, a border is drawn out (its lines over it are
    /// gathered by a full drawing), or the map is too small to have grids.
    bool Patch(const TMap& map, const TPictureKey& key, TMoving moving)
    {
        const std::optional<TPatchPlan> plan = PlanPatch(map, key, moving);
        if (!plan) return false;
        ApplyPatch(map, key, moving, *plan);
        return true;
    }

    /// What Patch draws again: the edited area (empty when only the moving
    /// element moved), its pixels, and the bounds of the elements but the moving one.
    struct TPatchPlan {
        TEditArea Area;
        std::int32_t Px1 = 0, Py1 = 0, Px2 = 0, Py2 = 0;
        std::optional<TOverviewBounds> Others;
    };

    /// Patch's decision, changing nothing: none when the picture must be drawn afresh.
    std::optional<TPatchPlan> PlanPatch(const TMap& map, const TPictureKey& key, TMoving moving) const
    {
        if (!Key || !Picture || !Scale || Key->Id != key.Id || Key->Width != key.Width || Key->Height != key.Height)
            return std::nullopt;
        if (map.BorderCount() + map.RailCount() < TMap::IndexFrom || key.Width <= 0 || key.Height <= 0) return std::nullopt;
        // Without rails the frame takes in the point (0, 0) as well.
        if (RailsDrawn == 0 || map.RailCount() == 0) return std::nullopt;

        TEditArea area;
        // The marks as the picture drew them and the rail it left out, followed to their indexes of now.
        std::int32_t start = Key->StartRail, finish = Key->FinishRail, selected = Key->SelRail;
        std::int32_t left = Moving == TMoving::LastRail ? RailsDrawn - 1 : -1;
        std::int32_t leftBorder = Moving == TMoving::LastBorder ? BordersDrawn - 1 : -1;
        const bool reached = map.EditsSince(Revision, [&](const TElementChange& change) {
            area.Take(change.Area);
            if (change.IsRail)
                for (std::int32_t* mark : {&start, &finish, &selected, &left}) FollowIndex(*mark, change);
            else
                FollowIndex(leftBorder, change);
        });
        if (!reached) return std::nullopt;
        const auto takeRail = [&](std::int32_t index) {
            if (index >= 0 && index < map.RailCount()) area.Take(map.Rails()[static_cast<std::size_t>(index)]);
        };
        const std::int32_t was[3] = {start, finish, selected};
        const std::int32_t now[3] = {map.StartRail, map.FinishRail, map.SelRail};
        for (int k = 0; k < 3; ++k)
            if (was[k] != now[k]) {
                takeRail(was[k]);
                takeRail(now[k]);
            }
        const auto takeBorder = [&](std::int32_t index) {
            if (index >= 0 && index < map.BorderCount()) area.Take(map.Borders()[static_cast<std::size_t>(index)]);
        };
        if (Moving == TMoving::LastRail) {
            takeRail(left);
            takeRail(selected);
        }
        takeBorder(leftBorder);
        const std::int32_t last = map.RailCount() - 1;
        if (moving == TMoving::LastRail) {
            takeRail(last);
            takeRail(map.SelRail);
        }
        if (moving == TMoving::LastBorder) takeBorder(map.BorderCount() - 1);

        const TOverviewScale& scale = *Scale;
        const std::int64_t minX = scale.MinX, minY = scale.MinY;
        const std::int64_t maxX = minX + scale.RangeX, maxY = minY + scale.RangeY;
        const auto strictlyInside = [&](const TEditArea& a) {
            return a.X1 > minX + 10 && a.Y1 > minY + 10 && a.X2 < maxX - 10 && a.Y2 < maxY - 10;
        };
        if (!area.Empty()) {
            if (area.X1 < minX || area.Y1 < minY || area.X2 > maxX || area.Y2 > maxY) return std::nullopt;
            // Nothing at the frame's extremes went or came: the frame stays.
            if (!strictlyInside(area) && !SameFrame(OverviewBounds(map), scale)) return std::nullopt;
        }
        std::optional<TOverviewBounds> others;
        if (moving != TMoving::Nothing) {
            TEditArea element;
            if (moving == TMoving::LastRail)
                element.Take(map.Rails().back());
            else
                element.Take(map.Borders().back());
            if (strictlyInside(element)) {
                others = TOverviewBounds{scale.MinX, scale.MinY, static_cast<std::int32_t>(maxX),
                                         static_cast<std::int32_t>(maxY)};
            } else {
                TOverviewLeaveOut leaveOut;
                leaveOut.LastBorder = moving == TMoving::LastBorder;
                leaveOut.LastRail = leaveOut.Selected = moving == TMoving::LastRail;
                others = OverviewBounds(map, leaveOut);
            }
        }

        TPatchPlan plan;
        plan.Area = area;
        plan.Others = others;
        if (!area.Empty()) {
            // A changed line that leaves the picture would change the lines
            // kept for outside it. Within the frame no end lies before pixel 0.
            const std::int32_t right = scale.RoundedX(area.X2), bottom = scale.RoundedY(area.Y2);
            if (right > key.Width - 1 || bottom > key.Height - 1) return std::nullopt;
            // Two pixels around the area's rounded image (the selected line's
            // truncated ends lie at most one before), inside the picture.
            plan.Px1 = std::max(scale.RoundedX(area.X1) - 2, 0);
            plan.Py1 = std::max(scale.RoundedY(area.Y1) - 2, 0);
            plan.Px2 = std::min(right + 2, key.Width - 1);
            plan.Py2 = std::min(bottom + 2, key.Height - 1);
        }
        return plan;
    }

    /// Draws again what plan names and remembers the map as drawn.
    void ApplyPatch(const TMap& map, const TPictureKey& key, TMoving moving, const TPatchPlan& plan)
    {
        const TOverviewScale& scale = *Scale;
        const std::int32_t last = map.RailCount() - 1;
        if (!plan.Area.Empty()) {
            const std::int32_t px1 = plan.Px1, py1 = plan.Py1, px2 = plan.Px2, py2 = plan.Py2;
            Key.reset();
            if (!Layer) Layer = Bitmaps.CreateBitmap();
            Resize(*Layer, key.Width, key.Height);
            TCanvas& layer = Layer->Canvas();
            layer.SetPenColor(clBlack);
            layer.SetPenWidth(1);
            layer.SetBrushColor(clBlack);
            layer.SetBrushStyle(TBrushStyle::Solid);
            layer.Rectangle(0, 0, key.Width, key.Height);
            const TEditArea world = WorldNear(px1, py1, px2, py2);
            map.BordersNear(world.X1, world.Y1, world.X2, world.Y2, Near);
            const std::int32_t lastBorder = map.BorderCount() - 1;
            for (const std::int32_t i : Near)
                if (!(moving == TMoving::LastBorder && i == lastBorder))
                    DrawLine(layer, OverviewBorderLine(map, scale, i));
            DrawRailsOver(map, layer, px1, py1, px2, py2, moving);
            if (!PatchBitmap) PatchBitmap = Bitmaps.CreateBitmap();
            Resize(*PatchBitmap, px2 - px1 + 1, py2 - py1 + 1);
            PatchBitmap->Canvas().Draw(-px1, -py1, *Layer);
            Picture->Canvas().Draw(px1, py1, *PatchBitmap);
        }

        // The picture's last line, as a full drawing would leave it.
        Last.reset();
        if (moving != TMoving::LastRail && map.SelRail >= 0 && map.SelRail <= last)
            Last = OverviewSelectedLine(map, scale);
        else if (moving != TMoving::LastRail)
            Last = OverviewRailLine(map, scale, last);
        else if (last > 0)
            Last = OverviewRailLine(map, scale, last - 1);
        else if (map.BorderCount() > 0)
            Last = OverviewBorderLine(map, scale, map.BorderCount() - 1);
        if (plan.Others) Others = *plan.Others;
        Drawn(map, key, moving);
        ++Patches;
    }

    /// The world rectangle that holds every element whose overview line
    /// (rounded ends, or the selected line's truncated ones) may reach the
    /// pixels [px1, px2] x [py1, py2] of the picture: a rounded end on pixel
    /// p lies within half a pixel's units of p's.
    TEditArea WorldNear(std::int32_t px1, std::int32_t py1, std::int32_t px2, std::int32_t py2) const
    {
        const TOverviewScale& scale = *Scale;
        const auto world = [](std::int64_t min, std::int64_t range, std::int64_t size, std::int64_t pixel, bool up) {
            const std::int64_t product = pixel * range;
            const std::int64_t quotient = product >= 0 ? product / size : -((-product + size - 1) / size);
            const std::int64_t v = min + (up ? (product + size - 1) / size : quotient);
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
        };
        TEditArea area;
        area.X1 = world(scale.MinX, scale.RangeX, scale.Width, std::int64_t{px1} - 1, false);
        area.Y1 = world(scale.MinY, scale.RangeY, scale.Height, std::int64_t{py1} - 1, false);
        area.X2 = world(scale.MinX, scale.RangeX, scale.Width, std::int64_t{px2} + 2, true);
        area.Y2 = world(scale.MinY, scale.RangeY, scale.Height, std::int64_t{py2} + 2, true);
        return area;
    }

    /// Draws onto canvas, in drawing order, every rail line that may reach
    /// the pixels [px1, px2] x [py1, py2], then the selected rail's; the
    /// moving rail and the selected line are left out while a rail is drawn out.
    void DrawRailsOver(const TMap& map, TCanvas& canvas, std::int32_t px1, std::int32_t py1, std::int32_t px2,
                       std::int32_t py2, TMoving moving)
    {
        const TEditArea world = WorldNear(px1, py1, px2, py2);
        map.RailsNear(world.X1, world.Y1, world.X2, world.Y2, Near);
        const std::int32_t last = map.RailCount() - 1;
        for (const std::int32_t i : Near)
            if (!(moving == TMoving::LastRail && i == last)) DrawLine(canvas, OverviewRailLine(map, *Scale, i));
        if (moving != TMoving::LastRail && map.SelRail >= 0 && map.SelRail <= last)
            DrawLine(canvas, OverviewSelectedLine(map, *Scale));
    }

    /// Where an index into the rails stands after one journal entry (-1 once
    /// its rail went).
    static void FollowIndex(std::int32_t& index, const TElementChange& change)
    {
        if (index < change.First || change.Kind == TEditKind::Changed || change.Kind == TEditKind::Flagged) return;
        if (change.Kind == TEditKind::Added)
            index += change.Count;
        else
            index = index < change.First + change.Count ? -1 : index - change.Count;
    }

    /// The picture brought up to the map, drawn again where an edit allows,
    /// else afresh.
    void Refresh(const TMap& map, const TPictureKey& key, TMoving moving)
    {
        if (!Patch(map, key, moving)) Rebuild(map, key, moving);
    }

    /// Which last element alone moved its second end since the picture was
    /// drawn (Nothing when neither changed); none when anything else changed.
    std::optional<TMoving> MovedSince(const TMap& map) const
    {
        const std::optional<TEnds> border = LastBorderOf(map);
        const std::optional<TEnds> rail = LastRailOf(map);
        const bool sameBorder = border == LastBorder;
        const bool sameRail = rail == LastRail;
        if (sameBorder && sameRail) return TMoving::Nothing;
        if (sameRail && SecondEndMoved(LastBorder, border)) return TMoving::LastBorder;
        if (sameBorder && SecondEndMoved(LastRail, rail)) return TMoving::LastRail;
        return std::nullopt;
    }

    /// The moving element Update draws the picture again with (by a patch
    /// or afresh); none when the picture stands as it is.
    std::optional<TMoving> Redrawing(const TMap& map, const TPictureKey& key) const
    {
        if (!Key || !(*Key == key)) return TMoving::Nothing;
        const std::optional<TMoving> moved = MovedSince(map);
        if (!moved) return TMoving::Nothing;
        if (*moved != TMoving::Nothing && (*moved != Moving || !KeepsBounds(map))) return *moved;
        return std::nullopt;
    }

    /// True when Update would draw the picture afresh (a patch or a reuse
    /// would not do).
    bool Redraws(const TMap& map, const TPictureKey& key) const
    {
        const std::optional<TMoving> moving = Redrawing(map, key);
        return moving && !PlanPatch(map, key, *moving);
    }

    /// The moving element, where it is now, leaves the bounds (and so every
    /// other line of the picture) as they were.
    bool KeepsBounds(const TMap& map) const
    {
        TOverviewBounds bounds = Others;
        if (Moving == TMoving::LastBorder) bounds.Take(map.Borders().back());
        if (Moving == TMoving::LastRail) bounds.Take(map.Rails().back());
        return SameFrame(bounds, *Scale);
    }

    /// Brings the picture up to the map: reused, or drawn afresh with the
    /// element that moves left out.
    void Update(const TMap& map, const TPictureKey& key)
    {
        if (const std::optional<TMoving> moving = Redrawing(map, key)) return Refresh(map, key, *moving);
        LastBorder = LastBorderOf(map);
        LastRail = LastRailOf(map);
        Revision = map.Revision();
    }

    /// The moving border's pixels inside the picture, with every line drawn
    /// after the borders that may cross them laid over it again in drawing
    /// order: composed on a copy of the picture and copied onto the canvas
    /// through a bitmap of the border's box, so no pixel outside the box changes.
    void LayBorderUnder(const TMap& map, TCanvas& canvas, const TOverviewLine& border)
    {
        const std::int32_t x1 = std::max(std::min(border.X1, border.X2), 0);
        const std::int32_t y1 = std::max(std::min(border.Y1, border.Y2), 0);
        const std::int32_t x2 = std::min(std::max(border.X1, border.X2), Scale->Width - 1);
        const std::int32_t y2 = std::min(std::max(border.Y1, border.Y2), Scale->Height - 1);
        if (x1 > x2 || y1 > y2) return;
        if (!Layer) Layer = Bitmaps.CreateBitmap();
        Resize(*Layer, Scale->Width, Scale->Height);
        TCanvas& layer = Layer->Canvas();
        layer.Draw(0, 0, *Picture);
        DrawLine(layer, border);
        DrawRailsOver(map, layer, x1, y1, x2, y2, TMoving::LastBorder);
        if (!PatchBitmap) PatchBitmap = Bitmaps.CreateBitmap();
        Resize(*PatchBitmap, x2 - x1 + 1, y2 - y1 + 1);
        PatchBitmap->Canvas().Draw(-x1, -y1, *Layer);
        canvas.Draw(x1, y1, *PatchBitmap);
    }

    static void Resize(TBitmap& bitmap, std::int32_t width, std::int32_t height)
    {
        if (bitmap.Width() != width) bitmap.SetWidth(width);
        if (bitmap.Height() != height) bitmap.SetHeight(height);
    }
};

TOverviewCache::TOverviewCache(TBitmapFactory& bitmaps) : state_(std::make_unique<State>(bitmaps)) {}

TOverviewCache::~TOverviewCache() = default;

void TOverviewCache::Draw(const TMap& map, TCanvas& canvas, std::int32_t width, std::int32_t height,
                          std::int32_t scrollX, std::int32_t scrollY)
{
    State& s = *state_;
    s.Update(map, KeyOf(map, width, height));
    const TOverviewScale& scale = *s.Scale;

    // The lines drawn over the picture, worked out before anything is drawn.
    std::optional<TOverviewLine> border, rail, selected;
    if (s.Moving == TMoving::LastBorder) border = OverviewBorderLine(map, scale, map.BorderCount() - 1);
    if (s.Moving == TMoving::LastRail) {
        rail = OverviewRailLine(map, scale, map.RailCount() - 1);
        if (map.SelRail >= 0 && map.SelRail < map.RailCount()) selected = OverviewSelectedLine(map, scale);
    }
    const bool borderLeaves = border && !Inside(*border, scale.Width, scale.Height);

    canvas.SetPenColor(clBlack);
    canvas.SetPenWidth(1);
    canvas.SetBrushColor(clBlack);
    canvas.SetBrushStyle(TBrushStyle::Solid);
    canvas.Draw(0, 0, *s.Picture);
    if (!s.Edges.empty() || borderLeaves) {
        // Outside the picture each pixel keeps the last line over it, so the
        // moving border goes between the border and the rail lines.
        for (std::size_t i = 0; i < s.Edges.size(); ++i) {
            if (i == s.BorderEdges && borderLeaves) DrawLine(canvas, *border);
            DrawLine(canvas, s.Edges[i]);
        }
        if (s.Edges.size() == s.BorderEdges && borderLeaves) DrawLine(canvas, *border);
        canvas.Draw(0, 0, *s.Picture);
    }
    std::optional<TOverviewLine> last = s.Last;
    if (border) {
        s.LayBorderUnder(map, canvas, *border);
        if (map.Rails().empty()) last = border;
    }
    for (const std::optional<TOverviewLine>& over : {rail, selected})
        if (over) {
            DrawLine(canvas, *over);
            last = over;
        }
    if (last) canvas.MoveTo(last->X2, last->Y2);
    DrawViewportOutline(map, canvas, scale, scrollX, scrollY);
}

bool TOverviewCache::Redraws(const TMap& map, std::int32_t width, std::int32_t height) const
{
    return state_->Redraws(map, KeyOf(map, width, height));
}

void TOverviewCache::Refresh(const TMap& map, std::int32_t width, std::int32_t height)
{
    state_->Update(map, KeyOf(map, width, height));
}

void TOverviewCache::Invalidate() { state_->Key.reset(); }

std::uint64_t TOverviewCache::Rebuilds() const { return state_->Rebuilds; }

std::uint64_t TOverviewCache::Patches() const { return state_->Patches; }
