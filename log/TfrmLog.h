#pragma once

#include "data/TextList.h"

#include <QDialog>
#include <QString>

#include <functional>

class QMenu;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QWidget;

namespace zevlo {

class Tdm;

// The modal log viewer: shows log.txt read-only, lets the user select and copy it, and
// exports it as CSV. Created once with the main window; reloads the file at every showing.
class TfrmLog : public QDialog {
    Q_OBJECT
public:
    // Asks the user where to save the CSV, proposing `proposedPath`; empty when cancelled.
    using SavePathChooser = std::function<QString(QWidget *parent, const QString &proposedPath)>;

    explicit TfrmLog(Tdm &dm, QWidget *parent = nullptr);
    ~TfrmLog() override;

    // Replaces the save dialog (tests export without a real dialog).
    void SetSavePathChooser(SavePathChooser chooser);

    void FormShow();
    void SelectAll1Click();
    void Copy1Click();
    void btnExportCSVClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ShowFileError(const QString &text);

    Tdm &dm_;
    QPlainTextEdit *Memo1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *btnClose = nullptr;
    QPushButton *btnExportCSV = nullptr;

    SavePathChooser chooseSavePath_;
    QString saveDialogDir_;
    QString lastExportPath_;
    // The lines of log.txt as read, so the export keeps bytes the locale cannot show.
    TextList shownLines_;
};

// The save dialog of the export: "Export to CSV", default suffix "csv".
QString ChooseCsvPathWithDialog(QWidget *parent, const QString &proposedPath);

} // namespace zevlo
