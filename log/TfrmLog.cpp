#include "log/TfrmLog.h"

#include "data/Tdm.h"
#include "log/LogCsv.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"

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

namespace zevlo {

namespace {

constexpr const char *kFileErrorCaption = "Windows DDNS Client";
constexpr const char *kCsvFileName = "Zevlo_DDNS_Log.csv";

QFont LogFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(9);
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    font.setFixedPitch(true);
    if (QFontInfo(font).fixedPitch())
        return font;
    // Courier New is missing and the substitute is proportional: take the system's fixed font.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(9);
    return fixed;
}

std::string ToPath(const QString &path) {
    return QFile::encodeName(path).toStdString();
}
QString FromPath(const std::string &path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

QString ChooseCsvPathWithDialog(QWidget *parent, const QString &proposedPath) {
    QFileDialog dialog(parent, QStringLiteral("Export to CSV"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilter(QStringLiteral("Comma Separated Variable(*.csv)"));
    dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

TfrmLog::TfrmLog(Tdm &dm, QWidget *parent) : QDialog(parent), dm_(dm), chooseSavePath_(ChooseCsvPathWithDialog) {
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
    QAction *selectAll1 = PopupMenu1->addAction(QStringLiteral("Select &All"), this, &TfrmLog::SelectAll1Click);
    selectAll1->setObjectName(QStringLiteral("SelectAll1"));
    QAction *copy1 = PopupMenu1->addAction(QStringLiteral("C&opy"), this, &TfrmLog::Copy1Click);
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
    connect(btnExportCSV, &QPushButton::clicked, this, &TfrmLog::btnExportCSVClick);

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

TfrmLog::~TfrmLog() = default;

void TfrmLog::SetSavePathChooser(SavePathChooser chooser) {
    chooseSavePath_ = std::move(chooser);
}

void TfrmLog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // restored by the window system, not opened
    if (const QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
    FormShow();
}

void TfrmLog::FormShow() {
    saveDialogDir_ = FromPath(dm_.AppDir);
    Memo1->clear();
    shownLines_.clear();
    // The main window saves the log before opening the viewer, but a log that was never
    // written is simply empty.
    if (dm_.LogFile.empty() || !platform::PathExists(dm_.LogFile))
        return;
    try {
        shownLines_ = SplitLines(platform::ReadWholeFile(dm_.LogFile));
    } catch (const FileError &error) {
        // Shown once the viewer is on screen, so the box has a visible owner.
        QTimer::singleShot(0, this, [this, text = QString::fromLocal8Bit(error.what())] { ShowFileError(text); });
        return;
    }
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(shownLines_.size()));
    // A zero byte would show as nothing: a visible sign stands in (the export keeps the byte).
    for (const auto &line : shownLines_)
        lines.append(QString::fromLocal8Bit(line).replace(QChar(u'\0'), QChar(0x2400)));
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TfrmLog::SelectAll1Click() {
    Memo1->selectAll();
}

void TfrmLog::Copy1Click() {
    Memo1->copy();
}

void TfrmLog::btnExportCSVClick() {
    QString proposed = lastExportPath_;
    if (proposed.isEmpty())
        proposed = saveDialogDir_ + QLatin1String(kCsvFileName);
    const QString path = chooseSavePath_(this, proposed);
    if (path.isEmpty())
        return;
    lastExportPath_ = path;
    try {
        ExportLogCsv(shownLines_, ToPath(path));
    } catch (const FileError &error) {
        ShowFileError(QString::fromLocal8Bit(error.what()));
    }
}

void TfrmLog::ShowFileError(const QString &text) {
    QMessageBox box(QMessageBox::Critical, QLatin1String(kFileErrorCaption), text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace zevlo
