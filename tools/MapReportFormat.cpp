#include "tools/MapReportFormat.h"

#include <ostream>

#include <cstdio>

#include "tools/JsonWriter.h"

namespace {

/// One "  label    value" line; the labels share one column width.
std::string Line(const char* label, const std::string& value)
{
    char head[16];
    std::snprintf(head, sizeof head, "  %-8s ", label);
    return head + value + '\n';
}

std::string RailText(std::int32_t index, std::int32_t railCount)
{
    if (index < 0) return index == -1 ? "none" : std::to_string(index) + " (no rail)";
    if (index >= railCount) return std::to_string(index) + " (no rail)";
    return "rail " + std::to_string(index);
}

std::string CountText(std::int32_t kept, std::int32_t stored)
{
    std::string text = std::to_string(kept);
    if (kept != stored) text += " kept of " + std::to_string(stored) + " stored";
    return text;
}

} // namespace

std::string InfoText(const TMapInfo& info)
{
    std::string text = info.File + '\n';
    text += Line("size", std::to_string(info.Stats.SizeBytes) + " bytes");
    text += Line("borders", CountText(info.Borders, info.Stats.BordersStored));
    text += Line("rails", CountText(info.Rails, info.Stats.RailsStored));
    text += Line("start", RailText(info.Start, info.Rails));
    text += Line("finish", RailText(info.Finish, info.Rails));
    text += Line("bounds", "x " + std::to_string(info.MinX) + ".." + std::to_string(info.MaxX) + ", y " +
                               std::to_string(info.MinY) + ".." + std::to_string(info.MaxY));
    return text;
}

std::string InfoJson(const TMapInfo& info)
{
    TJsonWriter json;
    json.BeginObject()
        .Key("file").Value(info.File)
        .Key("size_bytes").Value(info.Stats.SizeBytes)
        .Key("borders_stored").Value(info.Stats.BordersStored)
        .Key("rails_stored").Value(info.Stats.RailsStored)
        .Key("borders").Value(info.Borders)
        .Key("rails").Value(info.Rails)
        .Key("start").Value(info.Start)
        .Key("finish").Value(info.Finish)
        .Key("bounds").BeginObject()
            .Key("min_x").Value(info.MinX)
            .Key("min_y").Value(info.MinY)
            .Key("max_x").Value(info.MaxX)
            .Key("max_y").Value(info.MaxY)
        .EndObject()
        .EndObject();
    return json.Text() + '\n';
}

std::string CheckText(const TMapCheck& check)
{
    if (check.Valid) return check.File + ": valid\n";
    const auto count = check.Faults.size();
    std::string text = check.File + ": " + std::to_string(count) + (count == 1 ? " fault" : " faults");
    text += check.FaultRail >= 0 ? "; the editor selects rail " + std::to_string(check.FaultRail)
                                 : std::string("; the editor selects no rail");
    text += '\n';
    for (const TRouteFault& fault : check.Faults) {
        char line[64];
        if (fault.Rail >= 0)
            std::snprintf(line, sizeof line, "  rail %-6d %s\n", static_cast<int>(fault.Rail),
                          FaultKindText(fault.Kind));
        else
            std::snprintf(line, sizeof line, "  %-11s %s\n", "map", FaultKindText(fault.Kind));
        text += line;
    }
    return text;
}

void WriteCheckJson(const TMapCheck& check, bool withRails, std::ostream& out)
{
    TJsonWriter json(out);
    json.BeginObject()
        .Key("file").Value(check.File)
        .Key("valid").Value(check.Valid)
        .Key("fault_rail").Value(check.FaultRail)
        .Key("faults").BeginArray();
    for (const TRouteFault& fault : check.Faults)
        json.BeginObject().Key("rail").Value(fault.Rail).Key("kind").Value(FaultKindToken(fault.Kind)).EndObject();
    json.EndArray()
        .Key("start").Value(check.Start)
        .Key("finish").Value(check.Finish);
    if (withRails) {
        json.Key("rails").BeginArray();
        std::int32_t index = 0;
        for (const TRail& rail : check.Rails) {
            json.BeginObject()
                .Key("index").Value(index++)
                .Key("x1").Value(rail.X1).Key("y1").Value(rail.Y1)
                .Key("x2").Value(rail.X2).Key("y2").Value(rail.Y2)
                .Key("next1").Value(rail.Next1).Key("next2").Value(rail.Next2)
                .Key("prev1").Value(rail.Prev1).Key("prev2").Value(rail.Prev2)
                .EndObject();
        }
        json.EndArray();
    }
    json.EndObject();
    json.Finish();
    out << '\n';
}
