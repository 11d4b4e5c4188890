#include "shell/qt/LogWindow.h"
#include "data/Tdm.h"
#include "form/TfrmLog.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace zevlo::test {
namespace {

class LogWindowTest : public ::testing::Test {
protected:
    LogWindowTest() {
        dm.AppDir = (folder.Root() / "").string();
        dm.LogFile = dm.AppDir + "log.txt";
        window.Bind(logic);
    }
    ~LogWindowTest() override { window.hide(); }

    QPlainTextEdit *memo() { return window.findChild<QPlainTextEdit *>("Memo1"); }
    QPushButton *button(const char *name) { return window.findChild<QPushButton *>(name); }
    void ShowAndSettle() {
        window.show();
        QTest::qWait(20); // the file is loaded once the viewer is on screen
    }

    TempFolder folder;
    Tdm dm;
    qt::LogWindow window;
    form::TfrmLog logic{dm, window};
};

TEST_F(LogWindowTest, ShowsTheLinesWithAZeroByteVisible) {
    WriteBytes(dm.LogFile, std::string("a\tCheck:  one\r\nb\tUpdate: t\0o\r\n", 29));
    ShowAndSettle();
    EXPECT_EQ(memo()->toPlainText(), QString::fromUtf8("a\tCheck:  one\nb\tUpdate: t\xe2\x90\x80o"));
}

TEST_F(LogWindowTest, ReadOnlyFixedPitchTextWithoutWrappingAboveTheButtonBar) {
    ShowAndSettle();
    EXPECT_EQ(window.windowTitle(), "Log");
    EXPECT_EQ(window.size(), QSize(923, 517));
    EXPECT_TRUE(memo()->isReadOnly());
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // A family of this desktop, drawn fixed-pitch, with or without Courier New and its kin.
    const QFontInfo drawn(memo()->font());
    EXPECT_TRUE(drawn.fixedPitch()) << drawn.family().toStdString();
    bool known = false;
    for (const QString &family : QFontDatabase::families())
        known = known || family.startsWith(drawn.family());
    EXPECT_TRUE(known) << drawn.family().toStdString();
    EXPECT_EQ(memo()->font().pointSize(), 9);
    auto *panel = window.findChild<QWidget *>("Panel1");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->height(), 41);
    EXPECT_GE(panel->y(), memo()->geometry().bottom());
    EXPECT_EQ(button("btnClose")->text(), "&Close");
    EXPECT_EQ(button("btnExportCSV")->text(), "Export to CSV");
    EXPECT_LT(button("btnClose")->x(), button("btnExportCSV")->x());
}

TEST_F(LogWindowTest, SelectAllAndCopyPutTheWholeTextOnTheClipboard) {
    WriteBytes(dm.LogFile, "a\tCheck:  1\r\nb\tUpdate: 2\r\n");
    ShowAndSettle();
    QApplication::clipboard()->clear();
    auto *menu = window.findChild<QMenu *>("PopupMenu1");
    ASSERT_NE(menu, nullptr);
    auto *selectAll = menu->findChild<QAction *>("SelectAll1");
    auto *copy = menu->findChild<QAction *>("Copy1");
    ASSERT_NE(selectAll, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(selectAll->text(), "Select &All");
    EXPECT_EQ(copy->text(), "C&opy");
    selectAll->trigger();
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "a\tCheck:  1\nb\tUpdate: 2");
}

TEST_F(LogWindowTest, ExportGoesThroughTheFormLogicAndCloseReturnsOk) {
    WriteBytes(dm.LogFile, "x\tUpdate: good\r\n");
    ShowAndSettle();
    window.SetSavePathChooser([&](QWidget *, const form::SaveDialog &) { return folder.File("out.csv"); });
    QTest::mouseClick(button("btnExportCSV"), Qt::LeftButton);
    EXPECT_EQ(ReadBytes(folder.File("out.csv")), "Timestamp,Type,Data\r\nx,Update:,good\r\n");

    window.hide();
    QTimer::singleShot(0, &window, [this] { QTest::mouseClick(button("btnClose"), Qt::LeftButton); });
    EXPECT_EQ(window.exec(), QDialog::Accepted);
}

TEST(CsvSaveDialog, ProposesTheGivenPathAndAddsTheCsvSuffix) {
    TempFolder folder;
    const std::string proposed = folder.File("Zevlo_DDNS_Log.csv");
    QString title, suffix, proposedName, proposedDir;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        // The dialog is modal; look at it once it is up, then accept a name without suffix.
        if (!QTest::qWaitFor([] { return qobject_cast<QFileDialog *>(QApplication::activeModalWidget()); }, 5000))
            return;
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        suffix = dialog->defaultSuffix();
        filters = dialog->nameFilters();
        proposedName = dialog->selectedFiles().value(0);
        proposedDir = dialog->directory().absolutePath();
        dialog->selectFile(QString::fromStdString(folder.File("mine")));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const std::string chosen = qt::ChooseSavePathWithDialog(
        nullptr, {"Export to CSV", {"Comma Separated Variable(*.csv)", "*.csv"}, "csv", proposed});
    EXPECT_EQ(title, "Export to CSV");
    EXPECT_EQ(suffix, "csv");
    EXPECT_EQ(filters, QStringList{"Comma Separated Variable(*.csv)"});
    EXPECT_EQ(proposedName, QString::fromStdString(proposed));
    EXPECT_EQ(proposedDir, QString::fromStdString(folder.Root().string()));
    EXPECT_EQ(chosen, folder.File("mine.csv"));
}

} // namespace
} // namespace zevlo::test
