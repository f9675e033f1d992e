#include "tools/MapReportFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

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

/// "  rail N      words\n", N left-aligned in six columns, as "  rail %-6d %s\n"
/// gives it, without a format call per line: a check may write a hundred million.
std::size_t FaultLine(char (&line)[64], const TRouteFault& fault)
{
    char* at = line;
    const auto put = [&at](std::string_view text) { at = std::copy(text.begin(), text.end(), at); };
    put("  rail ");
    const char* const digits = at;
    at = std::to_chars(at, line + 24, fault.Rail).ptr;
    while (at - digits < 6) *at++ = ' ';
    *at++ = ' ';
    put(FaultKindText(fault.Kind));
    *at++ = '\n';
    return static_cast<std::size_t>(at - line);
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

void WriteCheckText(TMapCheck& check, TReportOutput& out)
{
    if (check.Valid) {
        out << check.File << ": valid\n";
        return;
    }
    const auto count = check.FaultCount;
    out << check.File << ": " << std::to_string(count) << (count == 1 ? " fault" : " faults");
    out << (check.FaultRail >= 0 ? "; the editor selects rail " + std::to_string(check.FaultRail)
                                 : std::string("; the editor selects no rail"));
    out << "\n";
    ForEachFault(check, [&out](const TRouteFault& fault) {
        char line[64];
        std::size_t length = 0;
        if (fault.Rail >= 0)
            length = FaultLine(line, fault);
        else
            length = static_cast<std::size_t>(
                std::snprintf(line, sizeof line, "  %-11s %s\n", "map", FaultKindText(fault.Kind)));
        out.Write(std::string_view(line, length));
    });
}

void WriteCheckJson(TMapCheck& check, bool withRails, TReportOutput& out)
{
    TJsonWriter json(out);
    json.BeginObject()
        .Key("file").Value(check.File)
        .Key("valid").Value(check.Valid)
        .Key("fault_rail").Value(check.FaultRail)
        .Key("faults").BeginArray();
    ForEachFault(check, [&json](const TRouteFault& fault) {
        // {"rail":N,"kind":"token"}, as BeginObject, Key and Value write it.
        char object[64];
        char* at = object;
        const auto put = [&at](std::string_view text) { at = std::copy(text.begin(), text.end(), at); };
        put("{\"rail\":");
        at = std::to_chars(at, object + 32, fault.Rail).ptr;
        put(",\"kind\":\"");
        put(FaultKindToken(fault.Kind));
        put("\"}");
        json.RawValue(std::string_view(object, static_cast<std::size_t>(at - object)));
    });
    json.EndArray()
        .Key("start").Value(check.Map.StartRail)
        .Key("finish").Value(check.Map.FinishRail);
    if (withRails) {
        json.Key("rails").BeginArray();
        std::int32_t index = 0;
        for (const TRail& rail : check.Map.Rails()) {
            const TRailLinks links = check.Map.RailLinks(index);
            json.BeginObject()
                .Key("index").Value(index++)
                .Key("x1").Value(rail.X1).Key("y1").Value(rail.Y1)
                .Key("x2").Value(rail.X2).Key("y2").Value(rail.Y2)
                .Key("next1").Value(links.Next1).Key("next2").Value(links.Next2)
                .Key("prev1").Value(links.Prev1).Key("prev2").Value(links.Prev2)
                .EndObject();
        }
        json.EndArray();
    }
    json.EndObject();
    json.Finish();
    out << "\n";
}
