#include "shell/qt/MessageBox.h"

#include "shell/qt/QtText.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>

#include <algorithm>

namespace zevlo::qt {

namespace {

// A message box that lays out a text of several lines as written. QMessageBox wraps a line
// wider than half the screen, which split the two lines of the host-name message at odd
// places; a text of one line (a server's answer, up to 200 bytes) still wraps.
class LinesAsWrittenBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

    bool event(QEvent *event) override {
        const bool handled = QMessageBox::event(event);
        // QMessageBox sizes itself, wrapping its text, when shown and on every layout request.
        if (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
            KeepLinesAsWritten();
        return handled;
    }

private:
    void KeepLinesAsWritten() {
        if (!text().contains(u'\n'))
            return;
        for (QLabel *label : findChildren<QLabel *>()) {
            if (label->text() != text() || !label->wordWrap())
                continue;
            label->setWordWrap(false);
            const QSize needed = layout()->totalMinimumSize();
            setFixedSize(std::max(width(), needed.width()), needed.height());
            QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
        }
    }
};

// The text as a box shows it: the line ends of the files (CR LF) as line breaks.
QString BoxText(const std::string &text) {
    QString shown = FromLocal8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

} // namespace

form::BoxAnswer ShowMessageBox(QWidget *parent, form::BoxKind kind, const std::string &caption,
                               const std::string &text) {
    const bool question = kind == form::BoxKind::Confirmation;
    const QMessageBox::Icon icon = question                         ? QMessageBox::Question
                                   : kind == form::BoxKind::Warning ? QMessageBox::Warning
                                                                    : QMessageBox::Critical;
    LinesAsWrittenBox box(icon, FromLocal8(caption), BoxText(text),
                          question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    // Answers of a server are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    // Modal to the main window alone: the tray icon, its menu and its tip stay usable while a
    // box that nobody answers stays open (an application-modal box would block them all).
    box.setWindowModality(Qt::WindowModal);
    const int answer = box.exec();
    if (!question)
        return form::BoxAnswer::Ok;
    return answer == QMessageBox::Yes ? form::BoxAnswer::Yes : form::BoxAnswer::No;
}

} // namespace zevlo::qt
