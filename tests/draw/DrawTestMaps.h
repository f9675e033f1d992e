#pragma once
// Small maps for the drawing tests.
#include <cstdint>

#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

namespace drawtest {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

/// The main view as the window sets it at every tick.
inline void SetView(TMap& map, std::int32_t x, std::int32_t y, std::int32_t width = 718, std::int32_t height = 600)
{
    map.ViewX = x;
    map.ViewY = y;
    map.ViewWidth = width;
    map.ViewHeight = height;
}

/// A map holding every kind of element the view draws: the four border kinds
/// (one selected), plain, start, finish and selected rails and a lone point rail.
inline TMap SampleMap()
{
    TMap map;
    SetView(map, 100, 100);
    PutBorder(map, 150, 150, 450, 150, 0x00FFFF, bkFlat);
    PutBorder(map, 150, 220, 450, 260, 0xFF8000, bkWall);
    PutBorder(map, 150, 320, 450, 320, 0x0080FF, bkHighWall);
    PutBorder(map, 150, 420, 450, 380, 0xFF00FF, bkArch);
    PutBorder(map, 500, 150, 500, 450, 0x8080FF, bkArch);
    map.SelectBorder(4);
    PutRail(map, 550, 150, 750, 150);
    PutRail(map, 750, 150, 750, 350);
    PutRail(map, 750, 350, 550, 350);
    PutRail(map, 550, 350, 550, 150);
    PutRail(map, 600, 500, 700, 600);
    PutRail(map, 200, 550, 200, 550);
    map.SetStartRail(0);
    map.SetFinishRail(2);
    map.SelectRail(4);
    return map;
}

} // namespace drawtest
