#include "data/Tdm.h"
#include "tests/form/FormFakes.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zevlo::test {
namespace {

using namespace std::string_literals;

class LogViewerTest : public ::testing::Test {
protected:
    LogViewerTest() {
        dm.AppDir = (folder.Root() / "").string();
        dm.LogFile = dm.AppDir + "log.txt";
    }

    void ExportTo(const std::string &name) {
        view.savePath = name.empty() ? std::string() : folder.File(name);
        frm.btnExportCSVClick();
    }

    TempFolder folder;
    Tdm dm;
    FakeLogView view;
    form::TfrmLog frm{dm, view};
};

TEST_F(LogViewerTest, ShowsTheFileWithEveryKindOfLineBreakAndReloadsItAtEveryShowing) {
    WriteBytes(dm.LogFile, "a\tCheck:  one\r\nb\tUpdate: two\nc\rd\r\n");
    frm.FormShow();
    EXPECT_EQ(view.lines, (TextList{"a\tCheck:  one", "b\tUpdate: two", "c", "d"}));
    WriteBytes(dm.LogFile, "second\r\n");
    frm.FormShow();
    EXPECT_EQ(view.lines, TextList{"second"});
    std::filesystem::remove(dm.LogFile);
    frm.FormShow();
    EXPECT_TRUE(view.lines.empty()) << "a missing log is an empty one";
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(LogViewerTest, UnreadableLogShowsTheFileErrorAndAnEmptyText) {
    std::filesystem::create_directory(dm.LogFile); // unreadable as a file, even for root
    frm.FormShow();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].caption, "Windows DDNS Client");
    EXPECT_EQ(view.boxes[0].text.rfind("Cannot open file \"" + dm.LogFile + "\"", 0), 0u) << view.boxes[0].text;
    EXPECT_TRUE(view.lines.empty());
}

TEST_F(LogViewerTest, ExportsTheLinesAsReadNotAsShown) {
    WriteBytes(dm.LogFile, "05/12/24 10:00:00\tCheck:  No changed detected.\r\n"
                           "05/12/24 10:05:00\tUpdate: badauth, \"denied\"\r\n"
                           "t\tCheck:  caf\xe9 \0zero\r\n"
                           "last"s);
    frm.FormShow();
    ExportTo("out.csv");
    EXPECT_EQ(ReadBytes(folder.File("out.csv")), "Timestamp,Type,Data\r\n"
                                                 "05/12/24 10:00:00,Check:,No changed detected.\r\n"
                                                 "05/12/24 10:05:00,Update:,\"badauth, \"\"denied\"\"\"\r\n"
                                                 "t,Check:,caf\xe9 \0zero\r\n"
                                                 "last,,\r\n"s);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(LogViewerTest, ExportOfAnEmptyLogHoldsTheHeaderOnly) {
    frm.FormShow();
    ExportTo("empty.csv");
    EXPECT_EQ(ReadBytes(folder.File("empty.csv")), "Timestamp,Type,Data\r\n");
}

TEST_F(LogViewerTest, DialogProposesTheDefaultNameInTheDataFolderThenTheLastChoice) {
    frm.FormShow();
    ExportTo(""); // cancelled: nothing written, nothing remembered
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Root()), {}), 0);
    ExportTo("mine.csv");
    ExportTo("mine.csv");
    const std::string defaultPath = dm.AppDir + "Zevlo_DDNS_Log.csv";
    ASSERT_EQ(view.saveDialogs.size(), 3u);
    EXPECT_EQ(view.saveDialogs[0].title, "Export to CSV");
    EXPECT_EQ(view.saveDialogs[0].filter.name, "Comma Separated Variable(*.csv)");
    EXPECT_EQ(view.saveDialogs[0].defaultSuffix, "csv");
    EXPECT_EQ(view.saveDialogs[0].proposedPath, defaultPath);
    EXPECT_EQ(view.saveDialogs[1].proposedPath, defaultPath);
    EXPECT_EQ(view.saveDialogs[2].proposedPath, folder.File("mine.csv"));
}

TEST_F(LogViewerTest, ExportReplacesAnExistingFileWithoutAsking) {
    WriteBytes(dm.LogFile, "x\tUpdate: good\r\n");
    WriteBytes(folder.File("old.csv"), "something much longer that was there before\r\n");
    frm.FormShow();
    ExportTo("old.csv");
    EXPECT_EQ(ReadBytes(folder.File("old.csv")), "Timestamp,Type,Data\r\nx,Update:,good\r\n");
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(LogViewerTest, UncreatableTargetShowsTheFileError) {
    frm.FormShow();
    ExportTo("no-such-folder/out.csv");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].caption, "Windows DDNS Client");
    EXPECT_EQ(view.boxes[0].text.rfind("Cannot create file \"" + view.savePath + "\"", 0), 0u) << view.boxes[0].text;
    EXPECT_FALSE(std::filesystem::exists(view.savePath));
}

TEST_F(LogViewerTest, PopupSelectsAllThenCopies) {
    frm.FormShow();
    frm.SelectAll1Click();
    frm.Copy1Click();
    EXPECT_EQ(view.copies, 1);
}

} // namespace
} // namespace zevlo::test
