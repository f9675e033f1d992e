#pragma once
// Maps made to order for tests and benchmarks. Everything is deterministic
// for a given seed, so a failure can be reproduced from its seed alone.
#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "model/TMap.h"

namespace MapBuilders {

/// A rail as it stands.
inline TRail RailOf(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    TRail r;
    r.X1 = x1;
    r.Y1 = y1;
    r.X2 = x2;
    r.Y2 = y2;
    return r;
}

inline TBorder BorderOf(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, TColor color = 0,
                        std::uint8_t kind = bkFlat)
{
    TBorder b;
    b.X1 = x1;
    b.Y1 = y1;
    b.X2 = x2;
    b.Y2 = y2;
    b.Color = color;
    b.Kind = kind;
    return b;
}

/// Appends a rail as it stands, without snapping or selecting; returns its index.
inline std::int32_t PutRail(TMap& map, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    const TRail r = RailOf(x1, y1, x2, y2);
    map.AppendRails({&r, 1});
    return map.RailCount() - 1;
}

/// Appends a border as it stands; returns its index.
inline std::int32_t PutBorder(TMap& map, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                              TColor color = 0, std::uint8_t kind = bkFlat)
{
    const TBorder b = BorderOf(x1, y1, x2, y2, color, kind);
    map.AppendBorders({&b, 1});
    return map.BorderCount() - 1;
}

/// Changes one field (or more) of element index through the map's operation:
/// EditRail(map, 0, [](TRail& r) { r.X2 = INT32_MIN + 5; }).
template <class F>
void EditRail(TMap& map, std::int32_t index, F change)
{
    TRail r = map.Rails().at(static_cast<std::size_t>(index));
    change(r);
    map.SetRail(index, r);
}

template <class F>
void EditBorder(TMap& map, std::int32_t index, F change)
{
    TBorder b = map.Borders().at(static_cast<std::size_t>(index));
    change(b);
    map.SetBorder(index, b);
}

/// Puts rails in place of the map's rails, as a builder does: Modified stays as it was.
inline void ReplaceRails(TMap& map, std::span<const TRail> rails)
{
    const bool modified = map.Modified;
    const std::vector<TRail> kept(rails.begin(), rails.end()); // rails may be the map's own
    map.SetRailCount(0);
    map.AppendRails(kept);
    map.Modified = modified;
}

/// A closed chain of rails through the points, the last one leading back to the first point.
inline TMap Ring(const std::vector<std::pair<std::int32_t, std::int32_t>>& points)
{
    TMap map;
    std::vector<TRail> rails;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const auto& a = points[k];
        const auto& b = points[(k + 1) % points.size()];
        rails.push_back(RailOf(a.first, a.second, b.first, b.second));
    }
    map.AppendRails(rails);
    return map;
}

/// A track network of `rails` rails covering the world row by row: horizontal
/// chains with a diagonal branch every seventh point, which forks off its row
/// and merges into the row below.
inline TMap TrackNetwork(std::int32_t rails)
{
    TMap map;
    std::vector<TRail> built;
    built.reserve(static_cast<std::size_t>(rails) + 2000);
    const auto count = [&] { return static_cast<std::int32_t>(built.size()); };
    constexpr std::int32_t step = 10;
    std::int32_t y = 0;
    while (count() < rails && y + step <= WorldSize) {
        for (std::int32_t x = 0; x + step <= WorldSize && count() < rails; x += step) {
            built.push_back(RailOf(x, y, x + step, y));
            if ((x / step) % 7 == 3 && x + 2 * step <= WorldSize) built.push_back(RailOf(x, y, x + step, y + step));
        }
        y += step;
    }
    map.AppendRails(built);
    map.SetStartRail(0);
    map.SetFinishRail(map.RailCount() - 1);
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    return map;
}

/// count elements, half rails and half borders, short segments spread evenly
/// over the world; the view is 718 x 600 in the middle of it.
inline TMap ScatteredElements(std::int32_t count, std::uint32_t seed = 1)
{
    TMap map;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> pos(0, WorldSize);
    std::uniform_int_distribution<std::int32_t> delta(-40, 40);
    std::vector<TRail> rails;
    std::vector<TBorder> borders;
    rails.reserve(static_cast<std::size_t>(count - count / 2));
    borders.reserve(static_cast<std::size_t>(count / 2));
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t x = pos(rng);
        const std::int32_t y = pos(rng);
        const std::int32_t x2 = x + delta(rng);
        const std::int32_t y2 = y + delta(rng);
        if (k % 2 == 0)
            rails.push_back(RailOf(x, y, x2, y2));
        else
            borders.push_back(BorderOf(x, y, x2, y2, 0x123456, static_cast<std::uint8_t>(k % 4)));
    }
    map.AppendRails(rails);
    map.AppendBorders(borders);
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    map.ViewX = (WorldSize - map.ViewWidth) / 2;
    map.ViewY = (WorldSize - map.ViewHeight) / 2;
    return map;
}

/// A small map whose rails crowd onto a few grid points, so that forks and
/// merges of two and three branches, coincident ends, reversed rails, equal
/// headings, rails that Normalize removes and start/finish rails missing or
/// out of range all turn up often.
inline TMap RandomRouteMap(std::mt19937& rng)
{
    const auto pick = [&](std::int32_t lo, std::int32_t hi) {
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
    };
    TMap map;
    // The rails are gathered first: they may be shuffled before they go in.
    std::vector<TRail> built;
    const auto putRail = [&](std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
        built.push_back(RailOf(x1, y1, x2, y2));
    };
    // Near an edge of the world the grid reaches outside it.
    const std::int32_t origins[] = {0, 10, 5000, WorldSize - 40, WorldSize - 60};
    const std::int32_t ox = origins[pick(0, 4)];
    const std::int32_t oy = origins[pick(0, 4)];
    const std::int32_t steps[] = {10, 20, 50, 100};
    const std::int32_t step = steps[pick(0, 3)];
    const std::int32_t span = pick(2, 5);
    const auto point = [&](std::int32_t g) { return g * step; };

    // A fan of two to four rails leaving (or entering) one point in nearly the
    // same direction: forks and merges of two and three branches, and more.
    const auto fan = [&]() {
        const std::int32_t cx = ox + point(pick(0, span)), cy = oy + point(pick(0, span));
        const std::int32_t dx = step * (pick(0, 1) * 2 - 1) * pick(1, 2);
        const bool entering = pick(0, 1) == 1;
        for (std::int32_t b = pick(2, 4); b > 0; --b) {
            const std::int32_t dy = step * pick(-1, 1);
            if (entering)
                putRail(cx - dx, cy - dy, cx, cy);
            else
                putRail(cx, cy, cx + dx, cy + dy);
        }
    };
    // A hexagonal loop: every turn is 60 degrees, so it closes into a valid track.
    const auto ring = [&]() {
        const std::int32_t a = step * pick(1, 2);
        const std::int32_t cx = ox + point(pick(0, span)), cy = oy + point(pick(0, span));
        const std::int32_t px[] = {2 * a, a, -a, -2 * a, -a, a};
        const std::int32_t py[] = {0, 2 * a, 2 * a, 0, -2 * a, -2 * a};
        const bool reversed = pick(0, 1) == 1;
        for (int q = 0; q < 6; ++q) {
            const int from = q, to = (q + 1) % 6;
            if (reversed)
                putRail(cx + px[to], cy + py[to], cx + px[from], cy + py[from]);
            else
                putRail(cx + px[from], cy + py[from], cx + px[to], cy + py[to]);
        }
    };
    const bool ringsOnly = pick(0, 3) == 0;
    const std::int32_t rails = ringsOnly ? 0 : pick(0, 24);
    if (ringsOnly) {
        ring();
        if (pick(0, 3) == 0) ring();
    } else {
        for (std::int32_t k = pick(0, 2); k > 0; --k) fan();
    }
    for (std::int32_t k = 0; k < rails; ++k) {
        const std::int32_t gx = pick(-1, span);
        const std::int32_t gy = pick(-1, span);
        std::int32_t x1 = ox + point(gx);
        std::int32_t y1 = oy + point(gy);
        std::int32_t x2 = ox + point(gx + pick(-2, 2));
        std::int32_t y2 = oy + point(gy + pick(-2, 2));
        switch (pick(0, 11)) {
        case 0: x2 = x1 + pick(-9, 9); y2 = y1 + pick(-3, 3); break; // too short, or zero
        case 1: std::swap(x1, x2); std::swap(y1, y2); break;         // reversed
        case 2: x2 = x1 + 2 * (x2 - x1); y2 = y1 + 2 * (y2 - y1); break; // same heading, longer
        default: break;
        }
        putRail(x1, y1, x2, y2);
        if (pick(0, 30) == 0) ring();
    }
    const std::int32_t borders = pick(0, 4);
    for (std::int32_t k = 0; k < borders; ++k)
        PutBorder(map, ox + point(pick(-1, span)), oy + point(pick(-1, span)), ox + point(pick(-1, span)),
                  oy + point(pick(-1, span)));

    if (pick(0, 1) == 1) std::shuffle(built.begin(), built.end(), rng); // index order is not track order
    map.AppendRails(built);

    const std::int32_t n = map.RailCount();
    const auto someRail = [&]() -> std::int32_t {
        switch (pick(0, 5)) {
        case 0: return -1;
        case 1: return n + pick(0, 3); // named by a file that lacks it
        default: return n > 0 ? pick(0, n - 1) : -1;
        }
    };
    map.SetStartRail(someRail());
    map.SetFinishRail(someRail());
    map.SelectRail(someRail());
    map.SelectBorder(borders > 0 ? pick(-1, borders - 1) : -1);
    const std::int32_t widths[] = {718, 600, 3001, 20000};
    map.ViewWidth = widths[pick(0, 3)];
    map.ViewHeight = widths[pick(0, 3)];
    map.ViewX = pick(-100, 100);
    map.ViewY = pick(-100, 100);
    map.Modified = pick(0, 1) == 1;
    return map;
}

/// Many rails through two to four shared points, in all directions: a few
/// headings and their exact opposites, right angles and doubles in length,
/// one heading favoured so that some rails find few successors among many
/// rails at a point, and exact copies. Some points lie at the world's edge.
inline TMap HubRouteMap(std::mt19937& rng)
{
    const auto pick = [&](std::int32_t lo, std::int32_t hi) {
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
    };
    TMap map;
    std::vector<std::pair<std::int32_t, std::int32_t>> hubs;
    for (std::int32_t k = pick(2, 4); k > 0; --k) {
        const std::int32_t spots[] = {0, 37, 500, 5003, WorldSize - 25, WorldSize};
        hubs.emplace_back(spots[pick(0, 5)], spots[pick(0, 5)]);
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> headings;
    for (std::int32_t k = pick(1, 3); k > 0; --k) {
        std::int32_t dx = 0, dy = 0;
        while (dx * dx + dy * dy < 100) {
            dx = pick(-40, 40);
            dy = pick(-40, 40);
        }
        const std::pair<std::int32_t, std::int32_t> turned[] = {
            {dx, dy}, {-dx, -dy}, {-dy, dx}, {dy, -dx}, {2 * dx, 2 * dy}, {dx + pick(-2, 2), dy + pick(-2, 2)}};
        headings.insert(headings.end(), std::begin(turned), std::end(turned));
    }
    const std::int32_t rails = pick(20, 260);
    for (std::int32_t k = 0; k < rails; ++k) {
        const auto [hx, hy] = hubs[static_cast<std::size_t>(pick(0, static_cast<std::int32_t>(hubs.size()) - 1))];
        const auto [dx, dy] =
            pick(0, 2) == 0 ? headings[0] : headings[static_cast<std::size_t>(pick(0, static_cast<std::int32_t>(headings.size()) - 1))];
        switch (pick(0, 9)) {
        case 0: // from one shared point to another
        {
            const auto [tx, ty] = hubs[static_cast<std::size_t>(pick(0, static_cast<std::int32_t>(hubs.size()) - 1))];
            PutRail(map, hx, hy, tx, ty);
            break;
        }
        case 1: // a copy of an earlier rail
            if (map.RailCount() > 0) {
                const TRail r = map.Rails()[static_cast<std::size_t>(pick(0, map.RailCount() - 1))];
                PutRail(map, r.X1, r.Y1, r.X2, r.Y2);
            }
            break;
        case 2:
        case 3:
        case 4:
        case 5: PutRail(map, hx, hy, hx + dx, hy + dy); break; // leaving
        default: PutRail(map, hx - dx, hy - dy, hx, hy); break; // entering
        }
    }
    const std::int32_t n = map.RailCount();
    map.SetStartRail(n > 0 && pick(0, 3) > 0 ? pick(0, n - 1) : -1);
    map.SetFinishRail(n > 0 && pick(0, 3) > 0 ? pick(0, n - 1) : -1);
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    return map;
}

/// Maps built to be slow: count copies of the rail a -> b followed by count
/// copies of the rail b -> c. With c beyond b every rail into b meets every
/// rail out of it (count squared faults of a sound file); with c back beside
/// a none passes the direction test.
inline TMap Bundles(std::int32_t count, TPoint a, TPoint b, TPoint c)
{
    TMap map;
    std::vector<TRail> rails(static_cast<std::size_t>(count), RailOf(a.x, a.y, b.x, b.y));
    rails.resize(2 * static_cast<std::size_t>(count), RailOf(b.x, b.y, c.x, c.y));
    map.AppendRails(rails);
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    return map;
}

/// count rails A -> B and count rails B -> C: every rail into B meets every rail out of it.
inline TMap ForkStorm(std::int32_t count) { return Bundles(count, {1000, 1000}, {2000, 1000}, {3000, 1000}); }
/// count rails A -> B and count rails B -> A' beside A: no rail passes the direction test.
inline TMap Opposed(std::int32_t count) { return Bundles(count, {1000, 1000}, {2000, 1000}, {1000, 1010}); }

} // namespace MapBuilders
