#pragma once

#include "data/TextList.h"
#include "form/MainView.h"

#include <string>

namespace zevlo::form {

// The save dialog of the CSV export.
struct SaveDialog {
    std::string title;
    FileFilter filter;
    std::string defaultSuffix;
    std::string proposedPath;
};

// The log viewer as the form logic sees it; the shell calls TfrmLog's handlers.
class ILogView {
public:
    virtual ~ILogView() = default;
    // Shows the lines read-only, a zero byte as a visible placeholder (a text control would
    // end the text there).
    virtual void SetLines(const TextList &lines) = 0;
    virtual void SelectAll() = 0;
    virtual void CopySelection() = 0;
    // The full path chosen, or empty when cancelled.
    virtual std::string ChooseSaveFile(const SaveDialog &dialog) = 0;
    virtual void ShowBox(BoxKind kind, const std::string &caption, const std::string &text) = 0;
    // The viewer's form logic is going: no handler of it may run from now on.
    virtual void FormGone() = 0;
};

} // namespace zevlo::form
