#pragma once
// The .KS map file: little-endian, no header; border count, 12-byte border
// records, rail count, 8-byte rail records, start index, finish index.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileWriter.h"

class TMap;

/// Where the extension of the path's last component starts (the position of
/// its first dot), or the path's length when it has none. Leading dots belong
/// to the name, so ".hidden" has no extension; a name of dots alone, or one dot
/// and then extension (in any case), is all extension and no name.
std::size_t ExtensionStart(const std::string& path, std::string_view extension);
/// The path with the extension of its last component forced to ".KS".
std::string ForceExtension(const std::string& path);
/// The map file that a name chosen in a file dialog stands for: the chosen
/// file itself where it exists and differs from its forced extension only in
/// the case of the letters; otherwise the forced name, matched to the case of
/// an existing file (MatchExistingCase).
std::string ChosenMapFile(const std::string& chosen);
/// The refusal of a file that the open map named displayName is bound to.
std::string AlreadyOpenText(const std::string& displayName);
/// True when a file that is not a folder exists at path, readable or not: a
/// name that must not be written over without asking.
bool MapFileExists(const std::string& path);
/// On a file system that tells letter case apart, "field.KS" and "field.ks"
/// are two files. Where no file is at path and path ends in ".ks" in any case,
/// the existing file whose name differs from it only in the case of those two
/// letters (first of .ks, .Ks, .kS, .KS); otherwise path itself.
std::string MatchExistingCase(const std::string& path);

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
/// The same, raising ELoadCancelled between two blocks of records once stop
/// is set (the map then holds part of the file).
TMapFileStats ReadMapFile(TMap& map, const std::string& path, const std::atomic<bool>& stop);

/// How a load reads its file into the map: ReadMapFile, or what the window
/// puts in its place to read on another thread. One that raises
/// ELoadCancelled leaves the map untouched.
using TMapFileReader = std::function<TMapFileStats(TMap& map, const std::string& path)>;
/// Makes reader the one loads use (ReadMapFile when empty); returns the one before.
TMapFileReader SetMapFileReader(TMapFileReader reader);
/// Reads through the reader loads use.
TMapFileStats ReadMapFileAsLoads(TMap& map, const std::string& path);

/// Empties map and moves into it everything from holds of a file read into
/// it (elements, start, finish, and Modified when clean), leaving from
/// empty: map then stands as if it had read the file itself.
void TakeLoadedMap(TMap& map, TMap& from);

/// The size in bytes of the map's file: what writing it costs.
std::int64_t MapFileSize(const TMap& map);

/// Writes the map as a map file at path through WriteWholeFile: a failure
/// never destroys the file that was there. A file that cannot be written
/// raises EFileError with the path and the reason; a failed write raises
/// "Disk full" or "I/O error <n>".
void WriteMapFile(const TMap& map, const std::string& path);
