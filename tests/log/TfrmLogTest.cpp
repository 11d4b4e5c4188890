#include "log/TfrmLog.h"

#include "data/Tdm.h"
#include "tests/data/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace zevlo {
namespace {

using namespace std::string_literals;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

struct SeenBox {
    QString title;
    QString text;
};

// Answers every message box that opens while it lives with OK and keeps what it showed.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.push_back({box->windowTitle(), box->text()});
            box->button(QMessageBox::Ok)->click();
        });
        timer_.start(5);
    }
    std::vector<SeenBox> seen;

private:
    QTimer timer_;
};

class TfrmLogTest : public ::testing::Test {
protected:
    TfrmLogTest() {
        dm.AppDir = folder.path().string() + "/";
        dm.LogFile = dm.AppDir + "log.txt";
        frm.SetSavePathChooser([this](QWidget *, const QString &proposed) {
            proposedPaths.push_back(proposed);
            return chosenPath;
        });
    }
    ~TfrmLogTest() override { frm.hide(); }

    QPlainTextEdit *memo() { return frm.findChild<QPlainTextEdit *>("Memo1"); }
    QPushButton *button(const char *name) { return frm.findChild<QPushButton *>(name); }
    void ShowAndSettle() {
        frm.show();
        QTest::qWait(20); // lets a queued file-error box open and be answered
    }
    void Export() { QTest::mouseClick(button("btnExportCSV"), Qt::LeftButton); }

    TempFolder folder;
    Tdm dm;
    TfrmLog frm{dm};
    BoxAnswerer boxes;
    QString chosenPath;
    std::vector<QString> proposedPaths;
};

TEST_F(TfrmLogTest, ShowsTheFileWithEveryKindOfLineBreakAndAZeroByteAsASign) {
    WriteBytes(dm.LogFile, "a\tCheck:  one\r\nb\tUpdate: t\0wo\nc\rd\r\n"s);
    ShowAndSettle();
    EXPECT_EQ(memo()->toPlainText(), QString::fromUtf8("a\tCheck:  one\nb\tUpdate: t\u2400wo\nc\nd"));
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(TfrmLogTest, EveryShowingReloadsTheFile) {
    WriteBytes(dm.LogFile, "first\r\n");
    ShowAndSettle();
    frm.hide();
    WriteBytes(dm.LogFile, "second\r\nthird\r\n");
    ShowAndSettle();
    EXPECT_EQ(memo()->toPlainText(), "second\nthird");
}

TEST_F(TfrmLogTest, MissingLogShowsEmptyTextWithoutABox) {
    WriteBytes(dm.LogFile, "old\r\n");
    ShowAndSettle();
    frm.hide();
    std::filesystem::remove(dm.LogFile);
    ShowAndSettle();
    EXPECT_TRUE(memo()->toPlainText().isEmpty());
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(TfrmLogTest, UnreadableLogShowsTheFileErrorAndAnEmptyText) {
    std::filesystem::create_directory(dm.LogFile); // unreadable as a file, even for root
    ShowAndSettle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.seen.empty(); }, 5000));
    EXPECT_EQ(boxes.seen[0].title, "Windows DDNS Client");
    EXPECT_TRUE(boxes.seen[0].text.startsWith("Cannot open file \"" + QString::fromStdString(dm.LogFile) + "\""))
        << boxes.seen[0].text.toStdString();
    EXPECT_TRUE(memo()->toPlainText().isEmpty());
}

TEST_F(TfrmLogTest, ExportWritesThreeQuotedFieldsWithCrLf) {
    WriteBytes(dm.LogFile, "05/12/24 10:00:00\tCheck:  No changed detected.\r\n"
                           "05/12/24 10:05:00\tUpdate: badauth, \"denied\"\r\n");
    ShowAndSettle();
    chosenPath = QString::fromStdString(folder.file("out.csv"));
    Export();
    EXPECT_EQ(ReadBytes(folder.file("out.csv")), "Timestamp,Type,Data\r\n"
                                                 "05/12/24 10:00:00,Check:,No changed detected.\r\n"
                                                 "05/12/24 10:05:00,Update:,\"badauth, \"\"denied\"\"\"\r\n");
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(TfrmLogTest, ExportOfAnEmptyLogHoldsTheHeaderOnly) {
    ShowAndSettle();
    chosenPath = QString::fromStdString(folder.file("empty.csv"));
    Export();
    EXPECT_EQ(ReadBytes(folder.file("empty.csv")), "Timestamp,Type,Data\r\n");
}

TEST_F(TfrmLogTest, ExportKeepsBytesTheLocaleCannotShow) {
    WriteBytes(dm.LogFile, "t\tCheck:  caf\xe9\0!\r\n"s); // Latin-1, not UTF-8; a zero byte
    ShowAndSettle();
    chosenPath = QString::fromStdString(folder.file("bytes.csv"));
    Export();
    EXPECT_EQ(ReadBytes(folder.file("bytes.csv")), "Timestamp,Type,Data\r\nt,Check:,caf\xe9\0!\r\n"s);
}

TEST_F(TfrmLogTest, DialogProposesTheDefaultNameInTheDataFolderThenTheLastChoice) {
    ShowAndSettle();
    chosenPath.clear(); // cancelled
    Export();
    chosenPath = QString::fromStdString(folder.file("mine.csv"));
    Export();
    Export();
    const QString defaultPath = QString::fromStdString(dm.AppDir + "Zevlo_DDNS_Log.csv");
    ASSERT_EQ(proposedPaths.size(), 3u);
    EXPECT_EQ(proposedPaths[0], defaultPath);
    EXPECT_EQ(proposedPaths[1], defaultPath); // a cancel remembers nothing
    EXPECT_EQ(proposedPaths[2], chosenPath);
}

TEST_F(TfrmLogTest, CancelWritesNothing) {
    ShowAndSettle();
    Export();
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(TfrmLogTest, ExportReplacesAnExistingFileWithoutAsking) {
    WriteBytes(dm.LogFile, "x\tUpdate: good\r\n");
    WriteBytes(folder.file("old.csv"), "something much longer that was there before\r\n");
    ShowAndSettle();
    chosenPath = QString::fromStdString(folder.file("old.csv"));
    Export();
    EXPECT_EQ(ReadBytes(folder.file("old.csv")), "Timestamp,Type,Data\r\nx,Update:,good\r\n");
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(TfrmLogTest, UncreatableTargetShowsTheFileError) {
    ShowAndSettle();
    const std::string target = folder.file("no-such-folder/out.csv");
    chosenPath = QString::fromStdString(target);
    Export();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].title, "Windows DDNS Client");
    EXPECT_TRUE(boxes.seen[0].text.startsWith("Cannot create file \"" + chosenPath + "\""))
        << boxes.seen[0].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(TfrmLogTest, CloseReturnsOk) {
    QTimer::singleShot(0, &frm, [this] { QTest::mouseClick(button("btnClose"), Qt::LeftButton); });
    EXPECT_EQ(frm.exec(), QDialog::Accepted);
}

TEST_F(TfrmLogTest, SelectAllAndCopyPutTheWholeTextOnTheClipboard) {
    WriteBytes(dm.LogFile, "a\tCheck:  1\r\nb\tUpdate: 2\r\n");
    ShowAndSettle();
    QApplication::clipboard()->clear();
    auto *menu = frm.findChild<QMenu *>("PopupMenu1");
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

TEST_F(TfrmLogTest, ReadOnlyFixedPitchTextWithoutWrappingAboveTheButtonBar) {
    ShowAndSettle();
    EXPECT_EQ(frm.windowTitle(), "Log");
    EXPECT_EQ(frm.size(), QSize(923, 517));
    EXPECT_TRUE(memo()->isReadOnly());
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(QFontInfo(memo()->font()).fixedPitch());
    EXPECT_EQ(memo()->font().pointSize(), 9);
    auto *panel = frm.findChild<QWidget *>("Panel1");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->height(), 41);
    EXPECT_GE(panel->y(), memo()->geometry().bottom());
    EXPECT_EQ(button("btnClose")->text(), "&Close");
    EXPECT_EQ(button("btnExportCSV")->text(), "Export to CSV");
    EXPECT_LT(button("btnClose")->x(), button("btnExportCSV")->x());
}

TEST(CsvSaveDialog, ProposesTheGivenPathAndAddsTheCsvSuffix) {
    TempFolder folder;
    const QString proposed = QString::fromStdString(folder.file("Zevlo_DDNS_Log.csv"));
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
        dialog->selectFile(QString::fromStdString(folder.file("mine")));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const QString chosen = ChooseCsvPathWithDialog(nullptr, proposed);
    EXPECT_EQ(title, "Export to CSV");
    EXPECT_EQ(suffix, "csv");
    EXPECT_EQ(filters, QStringList{"Comma Separated Variable(*.csv)"});
    EXPECT_EQ(proposedName, proposed);
    EXPECT_EQ(proposedDir, QString::fromStdString(folder.path().string()));
    EXPECT_EQ(chosen, QString::fromStdString(folder.file("mine.csv")));
}

} // namespace
} // namespace zevlo
