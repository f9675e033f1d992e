#pragma once
// A recovery copy: what an open map with unsaved changes looked like a few
// seconds ago, kept in the editor's recovery folder so that a crash loses
// little. Each copy is two files named after its key: "<key>.KS", the map in
// the ordinary map file bytes, and "<key>.copy", a short description of it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/TMap.h"

/// What a copy tells about its map besides the elements.
struct TRecoveryDescription {
    /// The map's file, or empty for a map that was never saved ("Новый").
    std::string FileName;
    /// When the copy was taken, in seconds since 1970-01-01 UTC.
    std::int64_t Time = 0;
    /// The map's index in the editor's list when the copy was taken.
    std::int32_t Position = 0;

    bool operator==(const TRecoveryDescription&) const = default;
};

/// A copy taken in memory, ready to be written on another thread: it shares
/// nothing with the map it was taken from.
struct TRecoverySnapshot {
    /// Names the copy's files inside the folder; one key per open map.
    std::string Key;
    TRecoveryDescription Description;
    std::vector<std::uint8_t> Bytes;
};

/// The key of an open map's copy: its Id, which no other map of the running
/// editor shares.
std::string RecoveryKey(const TMap& map);
/// The same for the map whose Id is id.
std::string RecoveryKey(std::uint64_t id);

/// Takes the copy of map, which stands at position in the list, at time.
TRecoverySnapshot TakeRecoverySnapshot(const TMap& map, std::int32_t position, std::int64_t time);

/// The description as the text of its file.
std::string DescriptionText(const TRecoveryDescription& description);
/// The description read back from the text of its file; text that is not one
/// raises EKestError naming what is wrong.
TRecoveryDescription ParseDescription(const std::string& text);

/// Writes the copy into folder (which must exist) through WriteWholeFile, the
/// map first and its description last, so that a description never stands
/// beside a map older than itself. Raises the writer's errors.
void WriteRecoveryCopy(const std::string& folder, const TRecoverySnapshot& snapshot);
/// Removes the copy's files from folder; a file already gone is no error.
void RemoveRecoveryCopy(const std::string& folder, const std::string& key);

/// A copy read back from a folder.
struct TRecoveredCopy {
    std::string Key;
    TRecoveryDescription Description;
    /// The elements, start and finish as they were copied, Modified set and
    /// FileName from the description; null when the copy is damaged.
    std::unique_ptr<TMap> Map;
    /// Why the copy cannot be given back, or empty when it can.
    std::string Damage;
    /// Where the copy's files are, for the user to look at a damaged one.
    std::string MapPath;
    std::string DescriptionPath;
};

/// Every copy in folder, ordered by list position (then key). A damaged or
/// unreadable copy, or one half of a copy without the other, comes back with
/// its Damage said and no map; nothing is removed. A folder that does not
/// exist holds no copies.
std::vector<TRecoveredCopy> ReadRecoveryCopies(const std::string& folder);
