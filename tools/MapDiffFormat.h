#pragma once
// kestmap diff's reports: lines for people and one JSON object.
#include <string>

#include "tools/MapDiff.h"
#include "tools/ReportOutput.h"

/// "border X1 Y1 X2 Y2 kind K #rrggbb" or "rail X1 Y1 X2 Y2".
std::string RecordText(const TBorderRecord& border);
std::string RecordText(const TRailRecord& rail);
/// The colour as "#rrggbb", lower case, red first as the file stores it.
std::string ColorText(TColor color);

/// A "- " line per removed element, then a "+ " line per added one, borders
/// before rails; then "start: A -> B" and "finish: A -> B" when they changed
/// (a rail's record or "none"). Nothing at all for equal maps.
void WriteDiffText(const TMapDiff& diff, TReportOutput& out);
/// {"same", "removed": {"borders", "rails"}, "added": {...}} and "start" and
/// "finish" ({"a", "b"}, a rail or null) only where they changed, on one line.
void WriteDiffJson(const TMapDiff& diff, TReportOutput& out);
