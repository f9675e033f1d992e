#pragma once
// The tool's reports as text for people and as one-line JSON objects.
#include <string>

#include "tools/MapReport.h"

/// A few aligned lines headed by the file name, each ending in a newline.
std::string InfoText(const TMapInfo& info);
/// One JSON object with the keys file, size_bytes, borders_stored,
/// rails_stored, borders, rails, start, finish and bounds, and a newline.
std::string InfoJson(const TMapInfo& info);

/// "FILE: valid", or a verdict line followed by one line per fault.
std::string CheckText(const TMapCheck& check);
/// One JSON object with the keys file, valid, fault_rail, faults, start,
/// finish and rails (every rail with its ends and links), and a newline.
std::string CheckJson(const TMapCheck& check);
