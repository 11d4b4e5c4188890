#pragma once

#include "form/LogView.h"
#include "form/MainView.h"

#include <windows.h>

#include <string>

namespace zevlo::win {

// A filter as the common dialogs take it: "name\0pattern\0\0".
std::string FilterText(const form::FileFilter &filter);

// GetOpenFileNameA starting at `current`; the full path, or empty when cancelled.
std::string ChooseFileToOpenWithDialog(HWND owner, const std::string &current, const form::FileFilter &filter);

// GetSaveFileNameA with the title, filter, default suffix and proposal given. The export
// replaces a chosen file without a further question.
std::string ChooseSaveFileWithDialog(HWND owner, const form::SaveDialog &dialog);

} // namespace zevlo::win
