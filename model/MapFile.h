#pragma once
// The .KS map file: little-endian, no header; border count, 12-byte border
// records, rail count, 8-byte rail records, start index, finish index.
#include <cstdint>
#include <string>

class TMap;

/// The path with the extension of its last component forced to ".KS".
std::string ForceExtension(const std::string& path);
/// True when the file can be opened for reading.
bool MapFileExists(const std::string& path);

/// What a read of a map file found before loading cleaned the map up.
struct TMapFileStats {
    std::int64_t SizeBytes = 0;
    std::int32_t BordersStored = 0;
    std::int32_t RailsStored = 0;
};

/// Empties the map and reads the file at path into it, then normalises it,
/// exactly as a load does, without asking anything. A file that cannot be
/// opened raises EFileError naming it and the system's reason; a damaged file
/// raises the error of the damage, leaving the map holding the elements read
/// completely. Does not touch FileName; clears Modified on success.
TMapFileStats ReadMapFile(TMap& map, const std::string& path);
