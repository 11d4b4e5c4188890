#include "tests/shell_qt/QtFixture.h"

#include <QAbstractButton>
#include <QDialog>

namespace zevlo::test {

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

int RunMainLoop(const std::function<void()> &first) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(20000);
    QTimer::singleShot(0, &watchdog, first);
    return QApplication::exec();
}

} // namespace zevlo::test
