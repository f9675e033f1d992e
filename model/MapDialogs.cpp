#include "model/MapDialogs.h"

TFileDialog* MapOpenDialog = nullptr;
TFileDialog* MapSaveDialog = nullptr;

namespace {
std::unique_ptr<TFileDialog> ownedSaveDialog;
std::unique_ptr<TFileDialog> ownedOpenDialog;
} // namespace

void CreateMapDialogs(std::unique_ptr<TFileDialog> saveDialog, std::unique_ptr<TFileDialog> openDialog)
{
    ownedSaveDialog = std::move(saveDialog);
    ownedOpenDialog = std::move(openDialog);
    MapSaveDialog = ownedSaveDialog.get();
    MapOpenDialog = ownedOpenDialog.get();
}

void DestroyMapDialogs()
{
    MapSaveDialog = nullptr;
    ownedSaveDialog.reset();
    MapOpenDialog = nullptr;
    ownedOpenDialog.reset();
}
