#include "workspace/TMapList.h"

#include "model/Errors.h"
#include "model/MapFile.h"

namespace {
const std::string NewMapName = "Новый";
}

TMapList::TMapList(TMapNames& names) : names_(names)
{
    SetCount(0);
    NewMap();
}

TMapList::~TMapList() = default;

void TMapList::SetCount(std::int32_t n)
{
    if (n < 0) throw ERangeError();
    Maps.resize(static_cast<std::size_t>(n));
}

void TMapList::CheckIndex(std::int32_t i) const
{
    if (i < 0 || i >= Count()) throw ERangeError();
}

TMap& TMapList::Map(std::int32_t i) const
{
    CheckIndex(i);
    return *Maps[static_cast<std::size_t>(i)];
}

void TMapList::NewMap()
{
    // The map is made before the list grows, so a failed allocation leaves
    // the list and its lines as they were.
    AddMap(std::make_unique<TMap>());
}

void TMapList::AddMap(std::unique_ptr<TMap> map)
{
    map->OtherMapOfFile = [this, self = map.get()](const std::string& path) { return OpenMapOfFile(path, self); };
    const std::string name = map->DisplayName();
    Maps.push_back(std::move(map));
    Current = Count() - 1;
    names_.Append(name);
}

std::int32_t TMapList::FreeMap()
{
    for (std::int32_t i = 0; i < Count(); ++i) {
        const TMap& map = Map(i);
        if (map.RailCount() == 0 && map.BorderCount() == 0 && map.DisplayName() == NewMapName) return i;
    }
    NewMap();
    return Count() - 1;
}

void TMapList::OpenMap()
{
    const std::int32_t count = Count();
    const std::int32_t current = Current;
    const std::int32_t i = FreeMap();
    Map(i).FileName.clear();
    LoadIntoFree(i, count, current);
}

void TMapList::OpenFile(const std::string& path)
{
    const std::int32_t count = Count();
    const std::int32_t current = Current;
    const std::int32_t i = FreeMap();
    Map(i).FileName = MatchExistingCase(path);
    LoadIntoFree(i, count, current);
}

void TMapList::LoadIntoFree(std::int32_t i, std::int32_t count, std::int32_t current)
{
    try {
        Load(i);
    } catch (const ELoadCancelled&) {
        // The map made for the load goes again.
        while (Count() > count) {
            names_.Delete(Count() - 1);
            Maps.pop_back();
        }
        Current = current;
        throw;
    }
}

void TMapList::Load(std::int32_t i)
{
    TMap& map = Map(i);
    if (map.ChooseFileToLoad()) {
        // A second copy of a map already open would be saved over the first.
        const std::int32_t open = IndexOfFile(map.FileName, i);
        if (open >= 0) {
            map.FileName.clear();
            Current = open;
        } else {
            try {
                map.ReadChosenFile();
            } catch (const ELoadCancelled&) {
                // The map it was to go into is free again, as before.
                map.FileName.clear();
                throw;
            } catch (...) {
                names_.Replace(i, map.DisplayName());
                throw;
            }
        }
    }
    names_.Replace(i, map.DisplayName());
}

std::int32_t TMapList::IndexOfFile(const std::string& path, std::int32_t except) const
{
    for (std::int32_t k = 0; k < Count(); ++k) {
        const TMap& map = Map(k);
        if (k != except && !map.FileName.empty() && SameFile(map.FileName, path)) return k;
    }
    return -1;
}

std::optional<std::string> TMapList::OpenMapOfFile(const std::string& path, const TMap* except) const
{
    for (const std::unique_ptr<TMap>& map : Maps) {
        if (map && map.get() != except && !map->FileName.empty() && SameFile(map->FileName, path))
            return map->DisplayName();
    }
    return std::nullopt;
}

void TMapList::SaveMap(std::int32_t i)
{
    TMap& map = Map(i);
    map.Save();
    names_.Replace(i, map.DisplayName());
}

void TMapList::SaveMapAs(std::int32_t i)
{
    TMap& map = Map(i);
    map.SaveAs();
    names_.Replace(i, map.DisplayName());
}

bool TMapList::CloseMap(std::int32_t i)
{
    // A refusal may still have named the map: a save that chose a name and
    // then failed. Its line follows, as after every other command.
    TMap& map = Map(i);
    bool confirmed = false;
    try {
        confirmed = map.ConfirmClose();
    } catch (...) {
        names_.Replace(i, map.DisplayName());
        throw;
    }
    if (!confirmed) {
        names_.Replace(i, map.DisplayName());
        return false;
    }
    Maps.erase(Maps.begin() + i);
    names_.Delete(i);
    Current = 0;
    if (Count() == 0) NewMap();
    return true;
}

bool TMapList::CloseAll()
{
    const std::int32_t n = Count();
    for (std::int32_t k = 0; k < n; ++k) {
        if (!CloseMap(0)) return false;
    }
    return true;
}
