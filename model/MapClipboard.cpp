#include "model/MapClipboard.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "model/Errors.h"
#include "model/MapFileIO.h"

std::vector<std::uint8_t> EncodeClipboardMap(std::span<const TBorder> borders, std::span<const TRail> rails)
{
    TMemorySink sink;
    TMapWriter out(sink);
    out.WriteInt32(static_cast<std::int32_t>(borders.size()));
    for (const TBorder& border : borders) border.WriteRecord(out);
    out.WriteInt32(static_cast<std::int32_t>(rails.size()));
    for (const TRail& rail : rails) rail.WriteRecord(out);
    out.WriteInt32(-1);
    out.WriteInt32(-1);
    out.Flush();
    return std::move(sink.Bytes);
}

std::optional<TClipboardElements> DecodeClipboardMap(std::span<const std::uint8_t> bytes)
{
    // Exactly the size its counts give: anything else is not what a copy wrote.
    TMapReader in(bytes.data(), bytes.size());
    try {
        const std::int32_t borders = in.ReadInt32();
        if (borders < 0 || borders > in.Remaining() / 12) return std::nullopt;
        TClipboardElements elements;
        elements.Borders.resize(static_cast<std::size_t>(borders));
        for (TBorder& border : elements.Borders) border.ReadRecord(in);
        const std::int32_t rails = in.ReadInt32();
        if (rails < 0 || rails > in.Remaining() / 8) return std::nullopt;
        elements.Rails.resize(static_cast<std::size_t>(rails));
        for (TRail& rail : elements.Rails) rail.ReadRecord(in);
        if (in.ReadInt32() != -1 || in.ReadInt32() != -1 || in.Remaining() != 0) return std::nullopt;
        return elements;
    } catch (const EKestError&) {
        return std::nullopt;
    }
}

std::string ClipboardText(std::span<const TBorder> borders, std::span<const TRail> rails)
{
    static const char* const kinds[] = {"плоская", "стенка", "выс. ст.", "арка"};
    std::string text;
    char line[160];
    for (const TBorder& b : borders) {
        std::snprintf(line, sizeof line, "Линия (%s) %d %d %d %d #%02X%02X%02X\n", kinds[b.Kind % 4], b.X1, b.Y1, b.X2,
                      b.Y2, static_cast<unsigned>(b.Color & 0xFF), static_cast<unsigned>((b.Color >> 8) & 0xFF),
                      static_cast<unsigned>((b.Color >> 16) & 0xFF));
        text += line;
    }
    for (const TRail& r : rails) {
        std::snprintf(line, sizeof line, "Рельс %d %d %d %d\n", r.X1, r.Y1, r.X2, r.Y2);
        text += line;
    }
    return text;
}

TPoint MoveIntoWorld(const TWorldRect& box, TPoint wanted)
{
    const auto axis = [](std::int32_t low, std::int32_t high, std::int32_t d) {
        std::int64_t to = std::int64_t{low} + d;
        const std::int64_t size = std::int64_t{high} - low;
        to = std::min<std::int64_t>(to, WorldSize - size);
        to = std::max<std::int64_t>(to, 0);
        return static_cast<std::int32_t>(to - low);
    };
    return {axis(box.x1, box.x2, wanted.x), axis(box.y1, box.y2, wanted.y)};
}

namespace {

/// The end of the selected elements nearest to p, in world units.
std::optional<TPoint> NearestSelectedEnd(const TMap& map, TPoint p)
{
    std::optional<TPoint> best;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    const auto take = [&](std::int32_t x, std::int32_t y) {
        const std::int64_t dx = std::int64_t{x} - p.x, dy = std::int64_t{y} - p.y;
        if (dx * dx + dy * dy < bestDistance) bestDistance = dx * dx + dy * dy, best = TPoint{x, y};
    };
    const auto visit = [&](const auto& items) {
        for (const auto& line : items)
            if (line.Selected) take(line.X1, line.Y1), take(line.X2, line.Y2);
    };
    visit(map.Borders());
    visit(map.Rails());
    return best;
}

} // namespace

void PasteElements(TMap& map, const TClipboardElements& elements, const std::optional<TPoint>& centre)
{
    const auto room = [](std::int32_t count, std::size_t more) {
        return more <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - count);
    };
    if (!room(map.BorderCount(), elements.Borders.size()) || !room(map.RailCount(), elements.Rails.size()))
        throw ERangeError();
    map.AppendSelected(elements.Borders, elements.Rails);
    const std::optional<TWorldRect> box = map.SelectionBox();
    if (!box) return;
    TPoint wanted{};
    if (centre) {
        wanted.x = static_cast<std::int32_t>(centre->x - (std::int64_t{box->x1} + box->x2) / 2);
        wanted.y = static_cast<std::int32_t>(centre->y - (std::int64_t{box->y1} + box->y2) / 2);
    }
    const TPoint move = MoveIntoWorld(*box, wanted);
    map.MoveSelected(move.x, move.y);
    if (!centre) return;
    const std::optional<TPoint> end = NearestSelectedEnd(map, *centre);
    if (!end) return;
    bool snapped = false;
    const TPoint at = map.View().ToView(end->x, end->y);
    const TPoint onto = map.SnapUnselectedPoint(at.x, at.y, snapped);
    if (snapped) map.MoveSelected(onto.x - end->x, onto.y - end->y);
}
