#pragma once
// What the draw and edit benchmarks share with the window they stand in for:
// its sizes, its back buffer, and the large maps each size is built once for.
#include <cstdint>
#include <map>
#include <memory>

#include "model/TMap.h"
#include "platform/qt/QtCanvas.h"

namespace BenchWindow {

/// The main view and the overview as the window sizes them.
constexpr std::int32_t ViewWidth = 718;
constexpr std::int32_t ViewHeight = 600;
constexpr std::int32_t OverviewSize = 137;

/// The window's back buffer, which both views are drawn into.
inline std::unique_ptr<TQtBitmap> BackBuffer()
{
    auto b = std::make_unique<TQtBitmap>();
    b->SetWidth(894);
    b->SetHeight(618);
    return b;
}

/// The map build(map, size) fills, built once per size and kept for every
/// benchmark after: building ten million elements costs more than the runs.
template <class Build>
TMap& MapOfSize(std::map<std::int64_t, std::unique_ptr<TMap>>& maps, std::int64_t size, Build build)
{
    auto& slot = maps[size];
    if (!slot) {
        slot = std::make_unique<TMap>();
        build(*slot, size);
    }
    return *slot;
}

} // namespace BenchWindow
