// The file commands of a map: load, save, save as, and the question about
// unsaved changes before a map goes away.
#include <filesystem>
#include <stdexcept>

#include "model/Errors.h"
#include "model/MapDialogs.h"
#include "model/MapFile.h"
#include "model/TMap.h"
#include "platform/Dialogs.h"
#include "platform/LongWork.h"
#include "platform/SystemFiles.h"

namespace {

TFileDialog& Dialog(TFileDialog* dialog)
{
    if (!dialog) throw std::logic_error("the map dialogs were not created");
    return *dialog;
}

TMsgResult AskToSaveChanges(const TMap& map)
{
    return Messages().Confirm("Карта " + map.DisplayName() + " была изменена. Сохранить?",
                              TMsgButtons::YesNoCancel);
}

/// Save and SaveAs: the dialog and the overwrite question come first, always
/// for SaveAs and only for an unnamed map otherwise; an answer No, like a
/// file that another open map is bound to, restores the name the map had
/// before.
bool SaveMap(TMap& map, bool chooseName)
{
    const std::string previous = map.FileName;
    const bool choose = chooseName || map.FileName.empty();
    if (choose) {
        TFileDialog& dialog = Dialog(MapSaveDialog);
        if (!dialog.Execute()) return false;
        map.FileName = ChosenMapFile(dialog.FileName());
    }
    // Also for a map that keeps its name: a link made since the maps were
    // named can bind two of them to one file.
    if (map.OtherMapOfFile) {
        if (const std::optional<std::string> other = map.OtherMapOfFile(map.FileName)) {
            map.FileName = previous;
            Messages().ShowError(AlreadyOpenText(*other));
            return false;
        }
    }
    if (choose && MapFileExists(map.FileName) &&
        Messages().Confirm("Карта " + map.DisplayName() + " уже существует. Сохранить?", TMsgButtons::YesNo) ==
            TMsgResult::No) {
        map.FileName = previous;
        return false;
    }
    try {
        // A large map is written while the window goes on drawing it; nothing
        // edits the map until the write has ended.
        const std::string& path = map.FileName;
        RunLongWork("Сохранение: " + FileNameOfPath(path), MapFileSize(map), [&map, &path] { WriteMapFile(map, path); });
    } catch (const EFileError& error) {
        // The file could not be created or may not be written: say why.
        Messages().ShowError(error.what());
        return false;
    }
    map.MarkClean();
    return true;
}

} // namespace

std::string TMap::DisplayName() const { return MapDisplayName(FileName); }

std::string MapDisplayName(const std::string& file)
{
    std::string name = ForceExtension(file);
    name.resize(name.size() - 3);
    const std::size_t separator = name.find_last_of("\\/");
    if (separator != std::string::npos) name.erase(0, separator + 1);
    return name.empty() ? "Новый" : name;
}

void TMap::LoadFromFile()
{
    if (ChooseFileToLoad()) ReadChosenFile();
}

bool TMap::ChooseFileToLoad()
{
    if (IsModified()) {
        const TMsgResult answer = AskToSaveChanges(*this);
        if (answer == TMsgResult::Cancel) return false;
        if (answer == TMsgResult::Yes) {
            Save();
            return false;
        }
    }
    if (FileName.empty()) {
        TFileDialog& dialog = Dialog(MapOpenDialog);
        if (!dialog.Execute()) return false;
        FileName = ChosenMapFile(dialog.FileName());
    }
    return true;
}

void TMap::ReadChosenFile()
{
    // The last check's faults were those of the elements a load replaces.
    const auto forgetFaults = [this] {
        lastFaults_.reset();
        ++faultsRevision_;
    };
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(PathOf(FileName), error);
    if (status.type() == std::filesystem::file_type::not_found) {
        // A map that does not exist yet: an empty map under that name.
        forgetFaults();
        DeleteAllElements(*this);
        Modified = true;
        return;
    }
    // A map that holds nothing, or only part, of its file must never be saved
    // over it: it loses the name, so that every save asks for one.
    const std::string path = FileName;
    const auto forgetFile = [&] {
        forgetFaults();
        FileName.clear();
        Modified = true;
    };
    try {
        ReadMapFileAsLoads(*this, path);
        forgetFaults();
    } catch (const ELoadCancelled&) {
        throw;
    } catch (const EFileError&) {
        forgetFile();
        throw;
    } catch (const EKestError& damage) {
        forgetFile();
        throw EFileError(path, damage.what());
    } catch (...) {
        forgetFile();
        throw;
    }
}

bool TMap::Save() { return SaveMap(*this, false); }

void TMap::SaveAs() { SaveMap(*this, true); }

bool TMap::ConfirmClose()
{
    bool result = true;
    if (IsModified()) {
        const TMsgResult answer = AskToSaveChanges(*this);
        if (answer == TMsgResult::Cancel) result = false;
        if (answer == TMsgResult::Yes) result = Save();
    }
    if (result) DeleteAllElements(*this);
    return result;
}
