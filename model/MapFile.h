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

/// Deletes every border and every rail through DeleteBorder and DeleteRail,
/// leaving the indexes as deleting index 0 until none is left would, and
/// starts the map's undo history afresh.
void DeleteAllElements(TMap& map);

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

/// Writes the map to path without ever destroying the file that was there:
/// the bytes go to a temporary file beside it, which is synced and then
/// renamed over it, keeping its permissions. A path naming a device rather
/// than a regular file is written in place. Returns false, leaving no trace,
/// when the file cannot be created; a failed write raises "Disk full" or
/// "I/O error <n>" with the old file untouched and no temporary file left.
bool WriteMapFile(const TMap& map, const std::string& path);

/// A failure to inject into the writes that a save makes to disk: once
/// AfterBytes bytes have reached the file, the next write fails with Error (an
/// errno value). A negative AfterBytes injects nothing.
struct TWriteFault {
    std::int64_t AfterBytes = -1;
    int Error = 0;
};
/// Arms (or, with the default value, disarms) the injected write failure; for tests.
void InjectWriteFault(const TWriteFault& fault);
