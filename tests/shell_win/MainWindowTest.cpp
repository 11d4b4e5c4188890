#include "crypto/Password.h"
#include "form/FormRules.h"
#include "shell/win/MessageBoxes.h"
#include "shell/win/Resource.h"
#include "tests/shell_win/ShellFixture.h"
#include "tests/support/Files.h"

#include <cstring>

namespace zevlo::win::test {
namespace {

using form::ControlKind;

// Where a control is and what the user sees of it: the caption of labels, buttons, check
// boxes and menu items; for fields and lists the label before them.
struct Expected {
    Control control;
    const char *place; // a tab, "bar" (below the tabs) or "tray"
    const char *seen;
};

constexpr Expected kLayout[] = {
    {Control::cmbUpdInterval, "General", "Update interval"},
    {Control::chkStartWithWin, "General", "Start with Windows"},
    {Control::chkRememberPause, "General", "Remember paused state"},
    {Control::lblUser, "General", "Username *"},
    {Control::edtUser, "General", "Username *"},
    {Control::lblPass, "General", "Password *"},
    {Control::edtPass, "General", "Password *"},
    {Control::edtHostname, "General", "Hostname *"},
    {Control::spnMaxLog, "General", "Log Max Lines"},
    {Control::btnViewLog, "General", "View Log"},
    {Control::lblHint, "General",
     "Choose your service on the Update Request tab, fill in your account and host name, then press Unpause."},
    {Control::cmbService, "Update Request", "Service"},
    {Control::cmbProtocol, "Update Request", "Protocol"},
    {Control::edtPort, "Update Request", "Port"},
    {Control::edtServer, "Update Request", "Server"},
    {Control::edtBaseURI, "Update Request", "Base URI"},
    {Control::cmbMethod, "Update Request", "Method"},
    {Control::cmbAuthType, "Update Request", "Authentication Type"},
    {Control::btnForceUpdate, "Update Request", "Force Update"},
    {Control::lblCProtocol, "Check IP", "Protocol"},
    {Control::cmbCProtocol, "Check IP", "Protocol"},
    {Control::lblCPort, "Check IP", "Port"},
    {Control::edtCPort, "Check IP", "Port"},
    {Control::lblCServer, "Check IP", "Server"},
    {Control::edtCServer, "Check IP", "Server"},
    {Control::lblCBaseURI, "Check IP", "Base URI"},
    {Control::edtCBaseURI, "Check IP", "Base URI"},
    {Control::lblCMethod, "Check IP", "Method"},
    {Control::cmbCMethod, "Check IP", "Method"},
    {Control::lblCAuthType, "Check IP", "Authentication Type"},
    {Control::cmbCAuthType, "Check IP", "Authentication Type"},
    {Control::chkCustomIP, "Check IP", "Use custom script (full path)"},
    {Control::edtCustomChkIP, "Check IP", "Use custom script (full path)"},
    {Control::spdCOpenDir, "Check IP", "..."},
    {Control::lblPaused, "bar", "Application paused"},
    {Control::btnUnpause, "bar", "Unpause"},
    {Control::btnSaveConfig, "bar", "Save Config"},
    {Control::btnTerminate, "bar", "Terminate"},
    {Control::mnuShow, "tray", "Show"},
    {Control::mnuTerminate, "tray", "Terminate"},
    {Control::mnuPause, "tray", "Pause"},
};

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

LONG_PTR StyleOf(HWND window) {
    return GetWindowLongPtrA(window, GWL_STYLE);
}

std::string TabText(HWND tabs, int index) {
    char text[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::string> MenuTexts(HMENU menu) {
    std::vector<std::string> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        texts.emplace_back(text);
    }
    return texts;
}

using MainWindowTest = ShellTest;

// How many lines the text of the message box that is open takes, read by a timer of the
// box's own modal loop, which then closes it.
int linesOfTheOpenBox = 0;

BOOL CALLBACK NoteMessageBox(HWND window, LPARAM found) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "#32770") != 0 || GetDlgItem(window, 0xFFFF) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

void CALLBACK ReadTheOpenBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), NoteMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr)
        return;
    KillTimer(nullptr, timer);
    HWND label = GetDlgItem(box, 0xFFFF);
    RECT area{};
    GetClientRect(label, &area);
    HDC dc = GetDC(label);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    // As the box's text control draws it: broken into words within its width.
    const std::string text = WindowText(label);
    RECT laidOut{0, 0, area.right, 0};
    DrawTextA(dc, text.c_str(), -1, &laidOut, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, before);
    ReleaseDC(label, dc);
    linesOfTheOpenBox = laidOut.bottom / metrics.tmHeight;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST(MessageBoxTest, ATextOfSeveralLinesShowsThemAsWritten) {
    const struct {
        const char *text;
        int lines;
    } rows[] = {
        {"Hostname cannot be empty. Please place dash (minus sign) and/or contact\r\n"
         "web administrator for a correct value",
         2},
        {"Update: nochg 203.0.113.9\r\nsecond line\r\nthird", 3},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        linesOfTheOpenBox = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadTheOpenBox);
        EXPECT_EQ(ShowMessageBox(nullptr, row.text, "Error", MB_OK | MB_ICONERROR), IDOK);
        KillTimer(nullptr, timer);
        EXPECT_EQ(linesOfTheOpenBox, row.lines);
    }
}

TEST_F(MainWindowTest, EveryControlIsTheWindowItsNameStandsFor) {
    ASSERT_EQ(std::size(kLayout), form::kControlCount);
    HWND tabs = GetDlgItem(GetParent(main_.Page(0)), IDC_TABS);
    ASSERT_NE(tabs, nullptr);
    for (const Control control : form::AllControls()) {
        SCOPED_TRACE(form::ControlName(control));
        const Expected &expected = kLayout[static_cast<std::size_t>(control)];
        ASSERT_EQ(expected.control, control);
        const ControlKind kind = form::KindOf(control);
        if (kind == ControlKind::MenuItem) {
            EXPECT_EQ(Window(control), nullptr);
            EXPECT_EQ(main_.Text(control), expected.seen);
            continue;
        }
        HWND window = Window(control);
        ASSERT_NE(window, nullptr);
        const std::string place = expected.place;
        if (place == "bar") {
            EXPECT_EQ(GetParent(window), GetParent(tabs));
        } else {
            int found = -1;
            for (int i = 0; i < 3; ++i)
                found = GetParent(window) == main_.Page(i) ? i : found;
            ASSERT_GE(found, 0);
            EXPECT_EQ(TabText(tabs, found), place);
        }
        const bool labelled = kind == ControlKind::List || kind == ControlKind::Edit || kind == ControlKind::SpinEdit;
        EXPECT_EQ(WindowText(labelled ? GetWindow(window, GW_HWNDPREV) : window), expected.seen);

        const LONG_PTR style = StyleOf(window);
        switch (kind) {
        case ControlKind::List: {
            EXPECT_EQ(ClassOf(window), "ComboBox");
            EXPECT_EQ(style & 3, form::IsEditableList(control) ? CBS_DROPDOWN : CBS_DROPDOWNLIST);
            const std::vector<std::string> &entries = form::ListEntries(control);
            ASSERT_EQ(SendMessageA(window, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(entries.size()));
            for (std::size_t i = 0; i < entries.size(); ++i) {
                main_.SetEntry(control, static_cast<int>(i));
                EXPECT_EQ(main_.Entry(control), static_cast<int>(i));
                EXPECT_EQ(main_.Text(control), entries[i]);
            }
            break;
        }
        case ControlKind::CheckBox:
            EXPECT_EQ(ClassOf(window), "Button");
            EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
            main_.SetChecked(control, true);
            EXPECT_EQ(SendMessageA(window, BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_TRUE(main_.Checked(control));
            main_.SetChecked(control, false);
            EXPECT_FALSE(main_.Checked(control));
            break;
        case ControlKind::Button:
            EXPECT_EQ(ClassOf(window), "Button");
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
            break;
        case ControlKind::Label:
            EXPECT_EQ(ClassOf(window), "Static");
            // A label that carries a reason takes the mouse, so that its tooltip shows.
            if (control == Control::lblPaused)
                EXPECT_NE(style & SS_NOTIFY, 0);
            break;
        case ControlKind::Edit:
        case ControlKind::SpinEdit: {
            EXPECT_EQ(ClassOf(window), "Edit");
            EXPECT_EQ((style & ES_PASSWORD) != 0, control == Control::edtPass);
            // What the form logic writes is what the window holds, and back.
            const std::string value = kind == ControlKind::SpinEdit ? "1230" : form::ControlName(control);
            main_.SetText(control, value);
            EXPECT_EQ(WindowText(window), value);
            EXPECT_EQ(main_.Text(control), value);
            break;
        }
        case ControlKind::MenuItem:
            break;
        }
        main_.SetToolTip(control, std::string("Paused: ") + form::ControlName(control));
        EXPECT_EQ(main_.ToolTip(control), std::string("Paused: ") + form::ControlName(control));
        main_.SetToolTip(control, "");
        EXPECT_EQ(main_.ToolTip(control), "");
    }
}

TEST_F(MainWindowTest, TheWindowHasAFixedSizeAndItsTabsShowTheirPages) {
    const LONG_PTR style = StyleOf(main_.Handle());
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(ClassOf(main_.Handle()), MainWindow::kClassName);
    // The spin edit's arrows: its range and its step.
    HWND arrows = GetDlgItem(main_.Page(0), IDC_spnMaxLogArrows);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(arrows, UDM_GETBUDDY, 0, 0)), Window(Control::spnMaxLog));
    int low = 0;
    int high = 0;
    SendMessageA(arrows, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, form::kMaxLogMin);
    EXPECT_EQ(high, form::kMaxLogMax);
    UDACCEL step{};
    ASSERT_EQ(SendMessageA(arrows, UDM_GETACCEL, 1, reinterpret_cast<LPARAM>(&step)), 1);
    EXPECT_EQ(step.nInc, static_cast<UINT>(form::kMaxLogStep));
    EXPECT_NE(StyleOf(arrows) & UDS_NOTHOUSANDS, 0);

    // A click on a tab: the control selects it and tells its parent.
    HWND tabs = GetDlgItem(GetParent(main_.Page(0)), IDC_TABS);
    SendMessageA(tabs, TCM_SETCURSEL, 2, 0);
    NMHDR change{tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(GetParent(tabs), WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(main_.ShownPage(), 2);
    for (int page = 0; page < 3; ++page)
        EXPECT_EQ((StyleOf(main_.Page(page)) & WS_VISIBLE) != 0, page == 2) << page;
}

TEST_F(MainWindowTest, TheUsersActsReachTheirHandlers) {
    Start(); // a first run: paused, shown
    ASSERT_TRUE(main_.IsVisible());

    // A list's choice: the protocol brings its port.
    Choose(Control::cmbProtocol, 1);
    EXPECT_EQ(Text(Control::edtPort), "8245");

    // The service list fills both endpoints; a field the user changed and left turns it to "Custom".
    Choose(Control::cmbService, 1);
    EXPECT_EQ(Text(Control::edtServer), "members.dyndns.org");
    EXPECT_EQ(Text(Control::edtCPort), "80");
    Type(Control::edtServer, U'x');
    EXPECT_EQ(main_.Entry(Control::cmbService), 1) << "not at every key";
    Leave(Control::edtServer);
    EXPECT_EQ(main_.Entry(Control::cmbService), 0);

    // A check box: the custom script takes over from the check-IP endpoint.
    ASSERT_FALSE(Enabled(Control::edtCustomChkIP));
    Click(Control::chkCustomIP);
    EXPECT_TRUE(Enabled(Control::edtCustomChkIP));
    EXPECT_FALSE(Enabled(Control::lblCPort));

    // "...": the open dialog, with its filter; the chosen file goes into the field.
    form::FileFilter filter;
    main_.chooseFileToOpen = [&](HWND, const std::string &, const form::FileFilter &given) {
        filter = given;
        return std::string("C:\\scripts\\my ip.cmd");
    };
    Click(Control::spdCOpenDir);
    EXPECT_EQ(filter.name, "All files(*.*)");
    EXPECT_EQ(filter.pattern, "*.*");
    EXPECT_EQ(Text(Control::edtCustomChkIP), "C:\\scripts\\my ip.cmd");

    // A button: "Terminate" asks first; "No" keeps the program.
    Click(Control::btnTerminate);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Confirm");
    EXPECT_EQ(boxes_[0].flags & (MB_TYPEMASK | MB_ICONMASK), static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(boxes_[0].owner, main_.Handle());
    EXPECT_FALSE(form_->Terminating());

    // "Unpause" with no account: an error box, and still paused.
    Click(Control::btnUnpause);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));

    // An edit: the label turns normal as soon as its field holds text.
    ASSERT_TRUE(main_.Alert(Control::lblUser));
    Type(Control::edtUser, U'a');
    EXPECT_FALSE(main_.Alert(Control::lblUser));
}

TEST_F(MainWindowTest, AValueSetThroughTheViewRunsNoHandler) {
    Start();
    main_.SetChecked(Control::chkCustomIP, true);
    main_.SetEntry(Control::cmbProtocol, 1);
    main_.SetText(Control::edtUser, "alice");
    EXPECT_FALSE(Enabled(Control::edtCustomChkIP));
    EXPECT_TRUE(main_.Alert(Control::lblUser)) << "the program's own text is no user's act";
    EXPECT_EQ(Text(Control::edtPort), "443");
    Choose(Control::cmbService, 1);
    for (const Control field : {Control::edtServer, Control::cmbAuthType}) {
        Type(field, U'x');
        main_.SetText(field, "Digest");
        Leave(field);
        EXPECT_EQ(main_.Entry(Control::cmbService), 1) << form::ControlName(field);
    }
}

TEST_F(MainWindowTest, APortFieldTakesDigitsAndControlCharactersOnly) {
    Start();
    SetWindowTextA(Window(Control::edtCPort), "");
    Type(Control::edtCPort, U'a');
    Type(Control::edtCPort, U'8');
    Type(Control::edtCPort, U'-');
    EXPECT_EQ(Text(Control::edtCPort), "8");

    // Ctrl+V arrives as control character 0x16: the edit control pastes.
    ASSERT_TRUE(OpenClipboard(main_.Handle()));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(text), "443", 4);
    GlobalUnlock(text);
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();
    Type(Control::edtCPort, U'\x16');
    EXPECT_EQ(Text(Control::edtCPort), "8443");
    // Backspace is a control character too.
    Type(Control::edtCPort, U'\b');
    EXPECT_EQ(Text(Control::edtCPort), "844");
}

// A key pressed where the focus is, with Ctrl and Shift held as given, through the window's
// own keys as the message loop passes them.
bool PressKey(MainWindow &window, HWND focus, WPARAM key, bool control, bool shift) {
    BYTE keys[256] = {};
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    const MSG message{focus, WM_KEYDOWN, key, 1, 0, {}};
    const bool taken = window.TranslateKey(message);
    BYTE none[256] = {};
    SetKeyboardState(none);
    return taken;
}

TEST_F(MainWindowTest, TabKeysWorkFromAnywhereInTheWindowAndEscapeHidesIt) {
    Start();
    ASSERT_TRUE(main_.IsVisible());
    const struct {
        Control focus;
        WPARAM key;
        bool shift;
        int from;
        int to;
    } rows[] = {
        {Control::btnSaveConfig, VK_TAB, false, 0, 1},   {Control::btnSaveConfig, VK_TAB, false, 2, 0},
        {Control::btnTerminate, VK_TAB, true, 0, 2},     {Control::btnSaveConfig, VK_NEXT, false, 1, 2},
        {Control::btnSaveConfig, VK_PRIOR, false, 0, 2}, {Control::edtUser, VK_TAB, false, 0, 1},
        {Control::edtServer, VK_PRIOR, false, 1, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(form::ControlName(row.focus)) + " " + std::to_string(row.key));
        main_.ShowPage(row.from);
        SetFocus(Window(row.focus));
        EXPECT_TRUE(PressKey(main_, Window(row.focus), row.key, true, row.shift));
        EXPECT_EQ(main_.ShownPage(), row.to);
        EXPECT_TRUE(IsWindowVisible(GetFocus())) << "the focus stays on a control that shows";
    }
    EXPECT_FALSE(PressKey(main_, Window(Control::btnSaveConfig), VK_TAB, false, false)) << "Tab is the dialog's";

    SetWindowTextA(Window(Control::edtHostname), "other.example.org");
    EXPECT_TRUE(PressKey(main_, Window(Control::btnSaveConfig), VK_ESCAPE, false, false));
    EXPECT_FALSE(main_.IsVisible());
    EXPECT_FALSE(form_->Terminating());
    EXPECT_EQ(form_->dm().FSET_Hostname, "other.example.org") << "read back as closing does";
}

struct TrayCase {
    bool taskbar;
    bool accepts;
    bool hides; // else minimises
};

class MainWindowTrayTest : public ShellTest, public ::testing::WithParamInterface<TrayCase> {};

TEST_P(MainWindowTrayTest, CloseHidesToTheTrayOnlyWhereThereIsOne) {
    trayPresent_ = GetParam().taskbar;
    trayAccepts_ = GetParam().accepts;
    Start();
    ASSERT_TRUE(main_.IsVisible());
    SendMessageA(main_.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(main_.IsVisible(), !GetParam().hides);
    EXPECT_EQ(main_.IsMinimised(), !GetParam().hides);
    EXPECT_FALSE(form_->Terminating());
    // A left click on the icon (or the window's button) brings it back.
    TrayClick(WM_LBUTTONDOWN);
    EXPECT_TRUE(main_.IsVisible());
    EXPECT_FALSE(main_.IsMinimised());

    // Minimised all the same (Win+Down, the taskbar): where closing goes.
    ::ShowWindow(main_.Handle(), SW_MINIMIZE);
    EXPECT_EQ(main_.IsVisible(), !GetParam().hides);
    TrayClick(WM_LBUTTONDOWN);
    EXPECT_TRUE(main_.IsVisible());
    EXPECT_FALSE(main_.IsMinimised());
}

INSTANTIATE_TEST_SUITE_P(Taskbars, MainWindowTrayTest,
                         ::testing::Values(TrayCase{true, true, true}, TrayCase{false, true, false},
                                           TrayCase{true, false, false}));

TEST_F(MainWindowTest, TheTrayIconCarriesItsTipMenuAndCallback) {
    Start();
    ASSERT_FALSE(icons_.empty());
    EXPECT_EQ(icons_[0].message, static_cast<DWORD>(NIM_ADD));
    const NOTIFYICONDATAA &added = icons_[0].data;
    EXPECT_EQ(added.hWnd, main_.Handle());
    EXPECT_EQ(added.uCallbackMessage, 1025u);
    EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_NE(added.hIcon, nullptr);
    EXPECT_STREQ(added.szTip, "Windows DDNS Client");

    // Two lines, cut to the 127 bytes the tip holds.
    const std::string tip = "Windows DDNS Client\n" + std::string(200, 'x');
    main_.SetTrayTip(tip);
    EXPECT_EQ(icons_.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(std::string(icons_.back().data.szTip), tip.substr(0, 127));

    // Explorer restarted: the icon comes back.
    const std::size_t before = icons_.size();
    SendMessageA(main_.Handle(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_EQ(icons_.size(), before + 1);
    EXPECT_EQ(icons_.back().message, static_cast<DWORD>(NIM_ADD));

    // A right click opens the menu with the items' texts; its choice runs the handler.
    std::vector<std::string> items;
    UINT choice = IDM_mnuPause;
    main_.trackTrayMenu = [&](HMENU menu, HWND owner, POINT) -> UINT {
        EXPECT_EQ(owner, main_.Handle());
        items = MenuTexts(menu);
        return choice;
    };
    ASSERT_TRUE(Shown(Control::lblPaused));
    TrayClick(WM_RBUTTONDOWN);
    EXPECT_EQ(items, (std::vector<std::string>{"Show", "Terminate", "Unpause"}));
    EXPECT_FALSE(Shown(Control::lblPaused)) << "mnuPause unpaused";
    choice = IDM_mnuTerminate;
    TrayClick(WM_RBUTTONDOWN);
    EXPECT_EQ(items[2], "Pause");
    EXPECT_TRUE(form_->Terminating());
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the event loop is told to end";
}

// Waking and the address notification reach the form; the check timer's message brings the
// check once it is due.
TEST_F(MainWindowTest, AWakeIsCheckedOnceTheCheckTimerRunsOutAndAnUnchangedAddressSetIsNot) {
    zevlo::test::WriteBytes(
        DataDir() + "Settings.ini",
        "FSET_StateIsPaused=FALSE\r\nFSET_FirstRun=FALSE\r\nFSET_User=alice\r\nFSET_Pass=" + EncryptPassword("secret") +
            "\r\nFSET_Hostname=home.example.org\r\nFSET_CIP_Auth=0\r\n");
    Start();
    form_->StartUp();
    ASSERT_EQ(runner_.Checks(), 1);
    const auto checkTimerRunsOut = [this] {
        now_ += std::chrono::seconds(61);
        SendMessageA(main_.Handle(), WM_TIMER, 2, 0);
    };
    struct Row {
        UINT message;
        WPARAM event;
        int checks;
    };
    const Row rows[] = {
        {WM_POWERBROADCAST, PBT_APMSUSPEND, 1},
        {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 2},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 3},
        {MainWindow::kAddressMessage, 0, 3}, // the addresses are those of the start
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.message) + " " + std::to_string(row.event));
        const LRESULT answer = SendMessageA(main_.Handle(), row.message, row.event, 0);
        if (row.message == WM_POWERBROADCAST)
            EXPECT_EQ(answer, TRUE);
        checkTimerRunsOut();
        EXPECT_EQ(runner_.Checks(), row.checks);
    }
}

TEST_F(MainWindowTest, TheEndOfTheSessionSavesAndTerminates) {
    Start();
    const std::string settings = DataDir() + "Settings.ini";
    ASSERT_EQ(GetFileAttributesA(settings.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(SendMessageA(main_.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_NE(GetFileAttributesA(settings.c_str()), INVALID_FILE_ATTRIBUTES) << "saved at the question";
    EXPECT_FALSE(form_->Terminating());
    DeleteFileA(settings.c_str());
    SetWindowTextA(Window(Control::edtHostname), "other.example.org");
    SendMessageA(main_.Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(form_->Terminating());
    EXPECT_NE(zevlo::test::ReadBytes(settings).find("FSET_Hostname=other.example.org\r\n"), std::string::npos)
        << "saved before the answer, with what the window shows";
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

} // namespace
} // namespace zevlo::win::test
