#include "shell/win/Resource.h"
#include "tests/shell_win/ShellFixture.h"
#include "tests/support/Files.h"

#include <functional>

namespace zevlo::win::test {
namespace {

// The viewer is modal: the test acts from inside its loop, once the form logic has put the
// file's lines into the text (a WM_SETTEXT to it that leaves it non-empty).
class OnceTheLinesShow {
public:
    OnceTheLinesShow(const LogWindow &viewer, std::function<void(HWND dialog, HWND memo)> action)
        : viewer_(viewer), action_(std::move(action)) {
        current_ = this;
        hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, Hook, nullptr, GetCurrentThreadId());
    }
    ~OnceTheLinesShow() {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    OnceTheLinesShow(const OnceTheLinesShow &) = delete;
    OnceTheLinesShow &operator=(const OnceTheLinesShow &) = delete;

    bool Acted() const { return acted_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto *sent = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
        OnceTheLinesShow *self = current_;
        if (code == HC_ACTION && self != nullptr && !self->acted_ && sent->message == WM_SETTEXT &&
            sent->hwnd == self->viewer_.Memo() && GetWindowTextLengthA(sent->hwnd) > 0) {
            self->acted_ = true;
            self->action_(self->viewer_.Handle(), sent->hwnd);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline OnceTheLinesShow *current_ = nullptr;
    const LogWindow &viewer_;
    std::function<void(HWND, HWND)> action_;
    HHOOK hook_ = nullptr;
    bool acted_ = false;
};

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char *>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class LogWindowTest : public ShellTest {
protected:
    LogWindowTest() {
        using namespace std::string_literals;
        zevlo::test::WriteBytes(DataDir() + "log.txt", "01/02/2024 10:00:00\tCheck:  No changed detected.\r\n"
                                                       "01/02/2024 10:15:00\tCheck:  ERROR - [a\0b]\r\n"s);
        Start(); // a first run: the window is shown
    }

    static constexpr const char *kShown = "01/02/2024 10:00:00\tCheck:  No changed detected.\r\n"
                                          "01/02/2024 10:15:00\tCheck:  ERROR - [a<NUL>b]";
};

TEST_F(LogWindowTest, ShowsTheFileLinesReadOnlyAndCopiesThem) {
    std::string caption;
    RECT client{};
    LONG_PTR style = 0;
    bool ownerEnabled = true;
    OnceTheLinesShow open(log_, [&](HWND dialog, HWND memo) {
        caption = WindowText(dialog);
        GetClientRect(dialog, &client);
        style = GetWindowLongPtrA(memo, GWL_STYLE);
        ownerEnabled = IsWindowEnabled(main_.Handle()) != FALSE;
        form_->frmLog().SelectAll1Click();
        form_->frmLog().Copy1Click();
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    Click(Control::btnViewLog);
    ASSERT_TRUE(open.Acted());
    EXPECT_EQ(caption, "Log");
    EXPECT_EQ(client.right, ScaleForDpi(923));
    EXPECT_EQ(client.bottom, ScaleForDpi(517));
    EXPECT_NE(style & ES_READONLY, 0);
    EXPECT_NE(style & ES_MULTILINE, 0);
    EXPECT_NE(style & ES_AUTOHSCROLL, 0) << "no word wrap";
    EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
    EXPECT_FALSE(ownerEnabled) << "modal over the main window";
    EXPECT_TRUE(IsWindowEnabled(main_.Handle())) << "enabled again after";
    EXPECT_EQ(ClipboardText(), kShown);
    EXPECT_EQ(log_.Handle(), nullptr);
}

TEST_F(LogWindowTest, ExportsToTheFileTheSaveDialogGives) {
    std::vector<form::SaveDialog> dialogs;
    const std::string target = DataDir() + "chosen.csv";
    log_.chooseSaveFile = [&](HWND owner, const form::SaveDialog &dialog) {
        EXPECT_EQ(owner, log_.Handle());
        dialogs.push_back(dialog);
        return target;
    };
    OnceTheLinesShow open(log_, [](HWND dialog, HWND) {
        // In the order a user would: the button, then "Close".
        PostMessageA(GetDlgItem(dialog, IDC_btnExportCSV), BM_CLICK, 0, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    Click(Control::btnViewLog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, "Export to CSV");
    EXPECT_EQ(dialogs[0].defaultSuffix, "csv");
    EXPECT_EQ(dialogs[0].proposedPath, DataDir() + "Zevlo_DDNS_Log.csv");
    EXPECT_EQ(zevlo::test::ReadBytes(target).substr(0, 19), "Timestamp,Type,Data");
}

TEST_F(LogWindowTest, TheEndOfTheSessionEndsTheViewerAndTheLoopsOutside) {
    OnceTheLinesShow open(log_, [&](HWND, HWND) {
        SendMessageA(main_.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        SendMessageA(main_.Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    });
    Click(Control::btnViewLog); // returns: the viewer's loop saw WM_QUIT
    ASSERT_TRUE(open.Acted());
    EXPECT_TRUE(form_->Terminating());
    EXPECT_TRUE(IsWindowEnabled(main_.Handle()));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "posted again for the main loop";
}

TEST(LogViewText, JoinsWithCrLfAndShowsZeroBytes) {
    EXPECT_EQ(LogViewText({}), "");
    EXPECT_EQ(LogViewText({"a", std::string("b\0c", 3), ""}), "a\r\nb<NUL>c\r\n");
}

} // namespace
} // namespace zevlo::win::test
