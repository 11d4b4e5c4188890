#include "form/TfrmLog.h"

#include "data/LogCsv.h"
#include "data/Tdm.h"
#include "engine/Endpoints.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"

namespace zevlo::form {

namespace {

constexpr const char *kCsvFileName = "Zevlo_DDNS_Log.csv";

} // namespace

void TfrmLog::FormShow() {
    saveDialogDir_ = dm_.AppDir;
    shownLines_.clear();
    view_.SetLines(shownLines_);
    // The main window saves the log before opening the viewer, but a log that was never
    // written is simply empty.
    if (dm_.LogFile.empty() || !platform::PathExists(dm_.LogFile))
        return;
    try {
        shownLines_ = SplitLines(platform::ReadOwnFile(dm_.LogFile));
    } catch (const FileError &error) {
        view_.ShowBox(BoxKind::FileError, CaptionFor(MessageKind::FileError), error.what());
        return;
    }
    view_.SetLines(shownLines_);
}

void TfrmLog::SelectAll1Click() {
    view_.SelectAll();
}

void TfrmLog::Copy1Click() {
    view_.CopySelection();
}

void TfrmLog::btnExportCSVClick() {
    SaveDialog dialog{"Export to CSV", {"Comma Separated Variable(*.csv)", "*.csv"}, "csv", lastExportPath_};
    if (dialog.proposedPath.empty())
        dialog.proposedPath = saveDialogDir_ + kCsvFileName;
    const std::string path = view_.ChooseSaveFile(dialog);
    if (path.empty())
        return;
    lastExportPath_ = path;
    try {
        ExportLogCsv(shownLines_, path);
    } catch (const FileError &error) {
        view_.ShowBox(BoxKind::FileError, CaptionFor(MessageKind::FileError), error.what());
    }
}

} // namespace zevlo::form
