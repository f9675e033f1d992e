#pragma once
// The maps open in the editor, in the order of the window's list, and which
// one of them is current.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/TMap.h"
#include "workspace/TMapNames.h"

class TMapList {
public:
    /// Starts with one new map "Новый", current, whose line is appended to names.
    /// The list does not own names; they must outlive it.
    explicit TMapList(TMapNames& names);
    ~TMapList();
    TMapList(const TMapList&) = delete;
    TMapList& operator=(const TMapList&) = delete;

    /// The open maps, owned by the list; never empty after an operation.
    std::vector<std::unique_ptr<TMap>> Maps;
    /// Index of the current map; the window sets it when the user picks a line.
    std::int32_t Current = 0;

    std::int32_t Count() const { return static_cast<std::int32_t>(Maps.size()); }
    /// Resizes Maps to n; new slots are empty. A negative n raises ERangeError.
    void SetCount(std::int32_t n);
    /// The map at index i; ERangeError when i is not in 0..Count()-1.
    TMap& Map(std::int32_t i) const;
    /// The map at index Current.
    TMap& CurrentMap() const { return Map(Current); }

    /// Appends a new empty map, makes it current and appends its line. Its
    /// saves refuse the files of the other maps of the list.
    void NewMap();
    /// Appends map (a map given back from a recovery copy), makes it current
    /// and appends its line. Its saves refuse the files of the other maps.
    void AddMap(std::unique_ptr<TMap> map);
    /// Loads a file chosen with the open dialog into the first free map. A
    /// file already open in another map makes that map current instead.
    void OpenMap();
    /// Loads the file at path, as given (or the existing file whose name differs
    /// only in the case of a ".ks" extension), into the first free map; a file
    /// already open in another map makes that map current instead.
    void OpenFile(const std::string& path);
    /// Saves map i (asking for a name when it has none) and rewrites its line.
    void SaveMap(std::int32_t i);
    /// Saves map i under a name chosen in the save dialog and rewrites its line.
    void SaveMapAs(std::int32_t i);
    /// The display name of the map whose file is path (by any of its names:
    /// links, "..", doubled separators), or nothing; except does not count.
    std::optional<std::string> OpenMapOfFile(const std::string& path, const TMap* except = nullptr) const;
    /// Offers to save map i, then destroys it; false when the user refused.
    /// Afterwards map 0 is current and the list again holds at least one map.
    bool CloseMap(std::int32_t i);
    /// Closes map 0 as many times as there were maps; stops at the first refusal.
    bool CloseAll();

private:
    /// Loads into map i and rewrites its line, also when the load fails.
    void Load(std::int32_t i);
    /// Load(i) into a map FreeMap gave; a load the user stops leaves the list
    /// as it was before FreeMap (count maps, current current).
    void LoadIntoFree(std::int32_t i, std::int32_t count, std::int32_t current);
    /// The map other than except whose file is path, or -1.
    std::int32_t IndexOfFile(const std::string& path, std::int32_t except) const;
    /// The first map named "Новый" holding no element, appending one when none is.
    std::int32_t FreeMap();
    void CheckIndex(std::int32_t i) const;

    TMapNames& names_;
};
