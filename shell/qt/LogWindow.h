#pragma once

#include "form/LogView.h"

#include <QDialog>

#include <functional>

class QMenu;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

namespace zevlo::form {
class TfrmLog;
}

namespace zevlo::qt {

// The modal log viewer in Qt widgets over the form logic's TfrmLog.
class LogWindow final : public QDialog, public form::ILogView {
    Q_OBJECT
public:
    // Asks the user where to save the CSV; empty when cancelled.
    using SavePathChooser = std::function<std::string(QWidget *parent, const form::SaveDialog &dialog)>;

    explicit LogWindow(QWidget *parent = nullptr);
    ~LogWindow() override;

    void Bind(form::TfrmLog &form) { form_ = &form; }
    // Replaces the save dialog (tests export without a real dialog).
    void SetSavePathChooser(SavePathChooser chooser) { chooseSavePath_ = std::move(chooser); }

    // ILogView
    void SetLines(const TextList &lines) override;
    void SelectAll() override;
    void CopySelection() override;
    std::string ChooseSaveFile(const form::SaveDialog &dialog) override;
    void ShowBox(form::BoxKind kind, const std::string &caption, const std::string &text) override;
    void FormGone() override { form_ = nullptr; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    form::TfrmLog *form_ = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *btnClose = nullptr;
    QPushButton *btnExportCSV = nullptr;
    SavePathChooser chooseSavePath_;
};

// The real save dialog of the export: its title, filter, default suffix and proposal.
std::string ChooseSavePathWithDialog(QWidget *parent, const form::SaveDialog &dialog);

} // namespace zevlo::qt
