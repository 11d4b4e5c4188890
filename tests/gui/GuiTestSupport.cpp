#include "tests/gui/GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>

#include <fstream>
#include <iterator>
#include <sstream>

namespace zevlo::test {

namespace {

bool CursorIsBusy() {
    const QCursor *cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

} // namespace

platform::RunResult ScriptedRunner::RunCommand(const std::string &command, const std::string &) {
    calls.push_back({{}, command, false, CursorIsBusy()});
    if (duringRun)
        duringRun();
    return {checkAnswer, platform::ChildEnd::Exited, 0};
}

platform::RunResult ScriptedRunner::RunProgram(const std::vector<std::string> &args, const std::string &,
                                               const std::optional<std::string> &) {
    bool update = false;
    for (const std::string &arg : args)
        update = update || arg.find("myip=") != std::string::npos;
    calls.push_back({args, {}, update, CursorIsBusy()});
    if (duringRun)
        duringRun();
    return {update ? updateAnswer : checkAnswer, platform::ChildEnd::Exited, 0};
}

int ScriptedRunner::Updates() const {
    int count = 0;
    for (const Call &call : calls)
        count += call.update ? 1 : 0;
    return count;
}

int ScriptedRunner::Checks() const {
    return static_cast<int>(calls.size()) - Updates();
}

bool RecordingAutostart::Write(const std::string &exePath) {
    writes.push_back(exePath);
    present = true;
    return true;
}

bool RecordingAutostart::Remove() {
    ++removes;
    present = false;
    return true;
}

ModalAnswerer::ModalAnswerer(std::deque<QMessageBox::StandardButton> answers) : answers_(std::move(answers)) {
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
    timer_.start(5);
}

void ModalAnswerer::Poll() {
    QWidget *modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_)
        return;
    last_ = modal;
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (box != nullptr)
        boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->textFormat()});
    else
        dialogs << modal->windowTitle();
    if (onModal && onModal(modal))
        return;
    if (box != nullptr) {
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        if (QAbstractButton *button = box->button(answer))
            button->click();
        else
            box->reject();
    } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        dialog->reject();
    }
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string IniText(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

bool FileHasLine(const std::string &path, const std::string &line) {
    const std::string text = ReadFile(path);
    return text.rfind(line + "\r\n", 0) == 0 || text.find("\n" + line + "\r\n") != std::string::npos;
}

} // namespace zevlo::test
