#pragma once

#include <QDialog>

namespace zevlo {

class Tdm;

// The modal log viewer: shows log.txt read-only, lets the user select and copy it, and
// exports it as CSV. Created once with the main window; reloads the file at every showing.
class TfrmLog : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLog(Tdm& dm, QWidget* parent = nullptr);
    ~TfrmLog() override;
};

} // namespace zevlo
