#pragma once
// Elements on the clipboard: the bytes of a map file holding them (no start,
// no finish), a line of text for each, and where a paste puts them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/TMap.h"

/// The MIME type under which the editor puts map bytes on the clipboard.
constexpr const char* MapClipboardMime = "application/x-kestedit-map";

/// Elements taken from the clipboard, in their order there.
struct TClipboardElements {
    std::vector<TBorder> Borders;
    std::vector<TRail> Rails;
};

/// The bytes of a map file holding the elements and neither start nor finish.
std::vector<std::uint8_t> EncodeClipboardMap(std::span<const TBorder> borders, std::span<const TRail> rails);
/// The elements of such bytes; nothing when they are not a whole map file
/// without start and finish (damaged, cut short, longer, or another program's).
std::optional<TClipboardElements> DecodeClipboardMap(std::span<const std::uint8_t> bytes);
/// One line per element, borders first: "Линия (плоская) 100 100 200 100 #RRGGBB", "Рельс 100 100 200 100".
std::string ClipboardText(std::span<const TBorder> borders, std::span<const TRail> rails);

/// The move that takes box by wanted as far as it can while keeping it inside
/// the world; a box that lies (partly) outside comes inside, one wider than
/// the world lies from its left or top edge.
TPoint MoveIntoWorld(const TWorldRect& box, TPoint wanted);

/// Appends the elements to map as its selection (TMap::AppendSelected), then
/// moves them: with centre, the middle of their box to that world point, the
/// pasted end nearest to it then snapping to an end of the map within reach
/// (TMap::SnapUnselectedPoint, in the map's view); without, where they were.
/// Either way kept inside the world. Raises ERangeError (changing nothing)
/// when the map cannot hold so many elements.
void PasteElements(TMap& map, const TClipboardElements& elements, const std::optional<TPoint>& centre);
