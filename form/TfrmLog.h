#pragma once

#include "data/TextList.h"
#include "form/LogView.h"

#include <string>

namespace zevlo {
class Tdm;
}

namespace zevlo::form {

// The log viewer: shows log.txt read-only, lets the user select and copy it, and exports
// it as CSV. Created once with the main window; reloads the file at every showing.
class TfrmLog {
public:
    TfrmLog(Tdm &dm, ILogView &view) : dm_(dm), view_(view) {}
    ~TfrmLog() { view_.FormGone(); }
    TfrmLog(const TfrmLog &) = delete;
    TfrmLog &operator=(const TfrmLog &) = delete;

    // Every showing, once the viewer is on screen.
    void FormShow();
    void SelectAll1Click();
    void Copy1Click();
    void btnExportCSVClick();

    // The lines shown, as read from the file.
    const TextList &ShownLines() const { return shownLines_; }

private:
    Tdm &dm_;
    ILogView &view_;
    std::string saveDialogDir_;
    std::string lastExportPath_;
    // The export is made from the lines as read, not from what a text control could show.
    TextList shownLines_;
};

} // namespace zevlo::form
