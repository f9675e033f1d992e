#include "tools/MapDiffFormat.h"

#include <cstdio>

#include "tools/JsonWriter.h"

namespace {

std::string Coordinates(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    return std::to_string(x1) + ' ' + std::to_string(y1) + ' ' + std::to_string(x2) + ' ' + std::to_string(y2);
}

std::string MarkText(const std::optional<TRailRecord>& rail) { return rail ? RecordText(*rail) : "none"; }

template <class Record>
void WriteLines(const char* sign, const std::vector<Record>& records, TReportOutput& out)
{
    for (const Record& record : records) {
        out << sign;
        out << RecordText(record);
        out << "\n";
    }
}

void RailJson(TJsonWriter& json, const TRailRecord& r)
{
    json.BeginObject().Key("x1").Value(r.X1).Key("y1").Value(r.Y1).Key("x2").Value(r.X2).Key("y2").Value(r.Y2);
}

void MarkJson(TJsonWriter& json, const std::optional<TRailRecord>& rail)
{
    if (!rail) {
        json.Null();
        return;
    }
    RailJson(json, *rail);
    json.EndObject();
}

void ElementsJson(TJsonWriter& json, const std::vector<TBorderRecord>& borders, const std::vector<TRailRecord>& rails)
{
    json.BeginObject().Key("borders").BeginArray();
    for (const TBorderRecord& b : borders) {
        json.BeginObject().Key("x1").Value(b.X1).Key("y1").Value(b.Y1).Key("x2").Value(b.X2).Key("y2").Value(b.Y2);
        json.Key("kind").Value(static_cast<std::int32_t>(b.Kind)).Key("color").Value(ColorText(b.Color)).EndObject();
    }
    json.EndArray().Key("rails").BeginArray();
    for (const TRailRecord& r : rails) {
        RailJson(json, r);
        json.EndObject();
    }
    json.EndArray().EndObject();
}

void ChangeJson(TJsonWriter& json, const char* key, const std::optional<TRailRecord>& a,
                const std::optional<TRailRecord>& b)
{
    json.Key(key).BeginObject().Key("a");
    MarkJson(json, a);
    json.Key("b");
    MarkJson(json, b);
    json.EndObject();
}

} // namespace

std::string ColorText(TColor color)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(color & 0xFF),
                  static_cast<unsigned>((color >> 8) & 0xFF), static_cast<unsigned>((color >> 16) & 0xFF));
    return text;
}

std::string RecordText(const TBorderRecord& b)
{
    return "border " + Coordinates(b.X1, b.Y1, b.X2, b.Y2) + " kind " + std::to_string(b.Kind) + ' ' +
           ColorText(b.Color);
}

std::string RecordText(const TRailRecord& r) { return "rail " + Coordinates(r.X1, r.Y1, r.X2, r.Y2); }

void WriteDiffText(const TMapDiff& diff, TReportOutput& out)
{
    WriteLines("- ", diff.RemovedBorders, out);
    WriteLines("- ", diff.RemovedRails, out);
    WriteLines("+ ", diff.AddedBorders, out);
    WriteLines("+ ", diff.AddedRails, out);
    if (diff.StartChanged()) out << "start: " + MarkText(diff.StartA) + " -> " + MarkText(diff.StartB) + "\n";
    if (diff.FinishChanged()) out << "finish: " + MarkText(diff.FinishA) + " -> " + MarkText(diff.FinishB) + "\n";
}

void WriteDiffJson(const TMapDiff& diff, TReportOutput& out)
{
    TJsonWriter json(out);
    json.BeginObject().Key("same").Value(diff.Same()).Key("removed");
    ElementsJson(json, diff.RemovedBorders, diff.RemovedRails);
    json.Key("added");
    ElementsJson(json, diff.AddedBorders, diff.AddedRails);
    if (diff.StartChanged()) ChangeJson(json, "start", diff.StartA, diff.StartB);
    if (diff.FinishChanged()) ChangeJson(json, "finish", diff.FinishA, diff.FinishB);
    json.EndObject();
    json.Finish();
    out << "\n";
}
