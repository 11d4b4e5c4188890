#pragma once

#include "platform/Autostart.h"
#include "platform/ProcessRunner.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zevlo::test {

// Stands in for curl and the custom script: answers from a script (each child exits with
// status 0), remembers every request and the cursor the user saw while it ran.
class ScriptedRunner final : public platform::IProcessRunner {
public:
    struct Call {
        std::vector<std::string> args;
        std::string command;
        bool update = false;
        bool busyCursor = false;
    };

    std::string checkAnswer = "198.51.100.7";
    std::string updateAnswer = "good 198.51.100.7";
    // Runs during a request, as the program's event loop would not.
    std::function<void()> duringRun;
    std::vector<Call> calls;

    platform::RunResult RunCommand(const std::string &command, const std::string &directory) override;
    platform::RunResult RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                   const std::optional<std::string> &input) override;

    int Updates() const;
    int Checks() const;
};

// The login entry, as a flag and a record of what was asked of it.
class RecordingAutostart final : public platform::IAutostart {
public:
    bool present = false;
    std::vector<std::string> writes;
    int removes = 0;

    bool IsPresent() override { return present; }
    bool Write(const std::string &exePath) override;
    bool Remove() override;
};

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
};

// Answers every modal window that opens while it lives: message boxes with the next answer
// (OK when none is left), other dialogs by closing them. `onModal` may act instead; it
// returns true when it took care of the window.
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(std::deque<QMessageBox::StandardButton> answers = {});

    std::vector<SeenBox> boxes;
    QStringList dialogs;
    std::function<bool(QWidget *)> onModal;

private:
    void Poll();

    std::deque<QMessageBox::StandardButton> answers_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

// Lets queued calls and posted events run.
void Settle();

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);
// The lines of a Settings.ini, CR LF ended.
std::string IniText(const std::vector<std::string> &lines);
// True when the file holds the line exactly.
bool FileHasLine(const std::string &path, const std::string &line);

} // namespace zevlo::test
