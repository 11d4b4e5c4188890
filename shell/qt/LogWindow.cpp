#include "shell/qt/LogWindow.h"

#include "form/TfrmLog.h"
#include "shell/qt/QtText.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

namespace zevlo::qt {

namespace {

// Stands for a zero byte, which would otherwise end nothing but be invisible.
constexpr char16_t kZeroBytePlaceholder = u'\u2400';

// The families a log reads well in, in this order: the one the log was laid out for, those
// metric-compatible with it, common monospaced ones, then the generic name.
constexpr const char *kLogFamilies[] = {
    "Courier New",      "Liberation Mono", "Cousine",     "Nimbus Mono PS", "Nimbus Mono L", "FreeMono",
    "DejaVu Sans Mono", "Noto Mono",       "Ubuntu Mono", "Consolas",       "Menlo",         "Monospace",
};

// The family a name of the font database stands for: without its foundry ("Nimbus Mono PS
// [urw]"), which the database adds where two foundries have the same family.
QString FamilyOf(const QString &listed) {
    const qsizetype foundry = listed.indexOf(QStringLiteral(" ["));
    return foundry < 0 ? listed : listed.left(foundry);
}

// The font as the desktop draws it, if that is fixed-pitch. The database's own word is not
// enough: "Courier New" may resolve to a substitute, and some families named Mono are not
// fixed-pitch to Qt (Noto Sans Mono has double-width glyphs).
std::optional<QFont> FixedPitchFont(const QString &family) {
    QFont font(family);
    font.setPointSize(9);
    if (!QFontInfo(font).fixedPitch())
        return std::nullopt;
    return font;
}

QFont LogFont() {
    QStringList available;
    for (const QString &listed : QFontDatabase::families())
        available << FamilyOf(listed);
    for (const char *family : kLogFamilies) {
        if (!available.contains(QString::fromLatin1(family), Qt::CaseInsensitive))
            continue;
        if (const std::optional<QFont> font = FixedPitchFont(QString::fromLatin1(family)))
            return *font;
    }
    // Any fixed-pitch family the desktop has.
    for (const QString &family : available) {
        if (!QFontDatabase::isFixedPitch(family))
            continue;
        if (const std::optional<QFont> font = FixedPitchFont(family))
            return *font;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(9);
    return fixed;
}

} // namespace

std::string ChooseSavePathWithDialog(QWidget *parent, const form::SaveDialog &dialog) {
    QFileDialog chooser(parent, FromLocal8(dialog.title));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setDefaultSuffix(FromLocal8(dialog.defaultSuffix));
    chooser.setNameFilter(FromLocal8(dialog.filter.name));
    chooser.selectFile(QFile::decodeName(QByteArray::fromStdString(dialog.proposedPath)));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(chooser.selectedFiles().constFirst()).toStdString();
}

LogWindow::LogWindow(QWidget *parent) : QDialog(parent), chooseSavePath_(ChooseSavePathWithDialog) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log"));
    setFixedSize(923, 517); // a dialog border: not resizable

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(LogFont());
    // Read-only text still takes the keyboard for selecting and copying.
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction *selectAll1 = PopupMenu1->addAction(QStringLiteral("Select &All"), this, [this] {
        if (form_ != nullptr)
            form_->SelectAll1Click();
    });
    selectAll1->setObjectName(QStringLiteral("SelectAll1"));
    QAction *copy1 = PopupMenu1->addAction(QStringLiteral("C&opy"), this, [this] {
        if (form_ != nullptr)
            form_->Copy1Click();
    });
    copy1->setObjectName(QStringLiteral("Copy1"));
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->exec(Memo1->viewport()->mapToGlobal(pos)); });

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Close"), Panel1);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    btnExportCSV = new QPushButton(QStringLiteral("Export to CSV"), Panel1);
    btnExportCSV->setObjectName(QStringLiteral("btnExportCSV"));
    btnExportCSV->setAutoDefault(false);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnExportCSV, &QPushButton::clicked, this, [this] {
        if (form_ != nullptr)
            form_->btnExportCSVClick();
    });

    auto *bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(btnClose);
    bar->addStretch();
    bar->addWidget(btnExportCSV);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1);
    layout->addWidget(Panel1);
}

LogWindow::~LogWindow() = default;

void LogWindow::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // restored by the window system, not opened
    if (const QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
    // Once on screen, so that a box about the file has a visible owner.
    QTimer::singleShot(0, this, [this] {
        if (form_ != nullptr)
            form_->FormShow();
    });
}

void LogWindow::SetLines(const TextList &lines) {
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string &line : lines)
        shown.append(FromLocal8(line).replace(QChar(u'\0'), QChar(kZeroBytePlaceholder)));
    Memo1->setPlainText(shown.join(QLatin1Char('\n')));
}

void LogWindow::SelectAll() {
    Memo1->selectAll();
}

void LogWindow::CopySelection() {
    Memo1->copy();
}

std::string LogWindow::ChooseSaveFile(const form::SaveDialog &dialog) {
    return chooseSavePath_(this, dialog);
}

void LogWindow::ShowBox(form::BoxKind, const std::string &caption, const std::string &text) {
    QMessageBox box(QMessageBox::Critical, FromLocal8(caption), FromLocal8(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace zevlo::qt
