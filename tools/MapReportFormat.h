#pragma once
// The tool's reports as text for people and as one-line JSON objects.
#include <string>

#include "tools/MapReport.h"
#include "tools/ReportOutput.h"

/// A few aligned lines headed by the file name, each ending in a newline.
std::string InfoText(const TMapInfo& info);
/// One JSON object with the keys file, size_bytes, borders_stored,
/// rails_stored, borders, rails, start, finish and bounds, and a newline.
std::string InfoJson(const TMapInfo& info);

/// "FILE: valid", or a verdict line followed by one line per fault, written
/// to out as it goes.
void WriteCheckText(TMapCheck& check, TReportOutput& out);
/// The check as one line of JSON written straight to out: file, valid,
/// fault_rail, faults (rail and kind), start, finish and, withRails, rails
/// (every rail with its ends and links), and a newline. Written as it goes,
/// so neither a map of a million rails nor its hundred million faults ever
/// sit whole in memory.
void WriteCheckJson(TMapCheck& check, bool withRails, TReportOutput& out);
