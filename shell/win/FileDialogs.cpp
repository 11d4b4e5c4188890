#include "shell/win/FileDialogs.h"

#include <commdlg.h>

#include <vector>

namespace zevlo::win {

namespace {

// Room for long paths; the dialogs cut nothing the user picks that fits.
constexpr std::size_t kPathBuffer = 32768;

std::vector<char> PathBuffer(const std::string &initial) {
    std::vector<char> buffer(kPathBuffer, '\0');
    if (initial.size() < buffer.size())
        initial.copy(buffer.data(), initial.size());
    return buffer;
}

} // namespace

std::string FilterText(const form::FileFilter &filter) {
    std::string text = filter.name;
    text.push_back('\0');
    text += filter.pattern;
    text.push_back('\0');
    text.push_back('\0');
    return text;
}

std::string ChooseFileToOpenWithDialog(HWND owner, const std::string &current, const form::FileFilter &filter) {
    const std::string filterText = FilterText(filter);
    std::vector<char> file = PathBuffer(current);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterText.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    // The current folder stays where it is: curl and the script get theirs explicitly.
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog))
        return {};
    return file.data();
}

std::string ChooseSaveFileWithDialog(HWND owner, const form::SaveDialog &dialog) {
    const std::string filterText = FilterText(dialog.filter);
    std::vector<char> file = PathBuffer(dialog.proposedPath);
    OPENFILENAMEA save{};
    save.lStructSize = sizeof save;
    save.hwndOwner = owner;
    save.lpstrFilter = filterText.c_str();
    save.lpstrFile = file.data();
    save.nMaxFile = static_cast<DWORD>(file.size());
    save.lpstrTitle = dialog.title.c_str();
    save.lpstrDefExt = dialog.defaultSuffix.empty() ? nullptr : dialog.defaultSuffix.c_str();
    // No OFN_OVERWRITEPROMPT: choosing a file is the answer.
    save.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&save))
        return {};
    return file.data();
}

} // namespace zevlo::win
