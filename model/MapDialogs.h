#pragma once
// The two file dialogs that every map shares for loading and saving.
#include <memory>

#include "platform/Dialogs.h"

/// The filter both map dialogs carry.
inline constexpr const char* MapFilter = "Карта (*.ks) | *.ks";

/// The shared dialogs; null until CreateMapDialogs.
extern TFileDialog* MapOpenDialog;
extern TFileDialog* MapSaveDialog;

/// Program start: takes ownership of the dialogs (the save dialog is made first).
void CreateMapDialogs(std::unique_ptr<TFileDialog> saveDialog, std::unique_ptr<TFileDialog> openDialog);
/// Program end: destroys the save dialog, then the open dialog.
void DestroyMapDialogs();
