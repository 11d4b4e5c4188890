// Zevlo.exe as a process: a portable folder holding a copy of it and a prepared
// Settings.ini, a stand-in curl.exe first along PATH, an empty APPDATA.
#include "crypto/Password.h"
#include "platform/Paths.h"
#include "platform/win/InstalledCopy.h"
#include "platform/win/RunValueAutostart.h"
#include "tests/support/Files.h"
#include "tests/support/Hex.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#ifndef ZEVLO_PROGRAM_FROM_TESTS
#error "ZEVLO_PROGRAM_FROM_TESTS must name Zevlo.exe relative to the tests"
#endif

namespace zevlo::win {
namespace {

using namespace std::chrono_literals;
using namespace zevlo::test;

constexpr const char *kOldAddress = "198.51.100.1";
constexpr const char *kNewAddress = "203.0.113.9";

bool Exists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct FindWindowOf {
    DWORD process;
    const char *className;
    HWND found;
};

BOOL CALLBACK NoteMainWindow(HWND window, LPARAM data) {
    auto *search = reinterpret_cast<FindWindowOf *>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (process == search->process && lstrcmpA(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class Program {
public:
    Program(const std::string &exe, const std::string &folder, const std::string &path, const std::string &appData,
            const std::string &arguments) {
        // The caller's environment with PATH and APPDATA of the test.
        std::string environment;
        char *const block = GetEnvironmentStringsA();
        for (const char *entry = block; *entry != '\0'; entry += lstrlenA(entry) + 1) {
            if (_strnicmp(entry, "PATH=", 5) != 0 && _strnicmp(entry, "APPDATA=", 8) != 0)
                environment += std::string(entry) + '\0';
        }
        FreeEnvironmentStringsA(block);
        environment += "PATH=" + path + '\0' + "APPDATA=" + appData + '\0' + '\0';
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\"" + arguments;
        started_ = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                                  folder.c_str(), &startup, &process_) != FALSE;
    }
    ~Program() {
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process_.hProcess, 99);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool Started() const { return started_; }
    bool Running() const { return started_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    // The exit status once it ended within the deadline. What it sends to this thread's
    // windows meanwhile is taken: the test's tray gets the icon's removal at the end.
    std::optional<DWORD> WaitExit(std::chrono::milliseconds deadline = 20s) const {
        const auto ended = [this] {
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
            return !Running();
        };
        if (!started_ || !WaitFor(ended, deadline))
            return std::nullopt;
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        return status;
    }

    // Its main window, found by class among its own windows (tests in other processes make
    // windows of that class too).
    HWND MainWindow() const { return WindowOfClass("ZevloMainWindow"); }
    // A message box of the program.
    HWND Box() const { return WindowOfClass("#32770"); }

    HWND WindowOfClass(const char *className) const {
        FindWindowOf search{process_.dwProcessId, className, nullptr};
        EnumWindows(NoteMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    HWND WaitForMainWindow(bool visible) const {
        HWND window = nullptr;
        WaitFor([&] {
            window = MainWindow();
            return window != nullptr && (!visible || IsWindowVisible(window));
        });
        return window;
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// Ends the session as Windows does: the question, then the end, and the program exits with
// 0. The sends fail when the program does not answer within the bound.
void EndSession(const Program &program, HWND window = nullptr) {
    window = window != nullptr ? window : program.WaitForMainWindow(false);
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer), 0)
        << "no answer to WM_QUERYENDSESSION";
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    ASSERT_NE(SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer), 0)
        << "no answer to WM_ENDSESSION";
    EXPECT_EQ(program.WaitExit(), 0u);
}

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() {
        CreateDirectoryA(AppDir().c_str(), nullptr);
        CreateDirectoryA(BinDir().c_str(), nullptr);
        CreateDirectoryA(AppData().c_str(), nullptr);
        const std::string tests = platform::DirectoryOf(platform::ExecutablePath());
        CopyFileA((tests + ZEVLO_PROGRAM_FROM_TESTS).c_str(), Exe().c_str(), FALSE);
        CopyFileA((tests + "fake-curl\\curl.exe").c_str(), (BinDir() + "curl.exe").c_str(), FALSE);
    }

    std::string AppDir() const { return root_.Path() + "portable\\"; }
    std::string BinDir() const { return root_.Path() + "bin\\"; }
    std::string AppData() const { return root_.Path() + "appdata"; }
    std::string Exe() const { return AppDir() + "Zevlo.exe"; }
    std::string SettingsFile() const { return AppDir() + "Settings.ini"; }
    std::string Settings() const { return ReadBytes(SettingsFile()); }
    std::string Log() const { return ReadBytes(AppDir() + "log.txt"); }

    void Answer(const std::string &check, const std::string &update) const {
        WriteBytes(BinDir() + "answers.txt", "/checkip\t" + check + "\n/v3/update\t" + update + "\n");
    }
    void WriteSettings(bool paused, bool startWithWindows = false) const {
        WriteBytes(SettingsFile(),
                   "FSET_User=alice\r\nFSET_Pass=" + EncryptPassword("s3cret") +
                       "\r\nFSET_Hostname=home.example.net\r\nFSET_LAST_IP=" + kOldAddress +
                       "\r\nFSET_FirstRun=FALSE\r\nFSET_StartWithWindows=" + (startWithWindows ? "TRUE" : "FALSE") +
                       "\r\nFSET_StateIsPaused=" + (paused ? "TRUE" : "FALSE") + "\r\nFSET_CIP_Auth=0\r\n");
    }

    std::unique_ptr<Program> Start(const std::string &arguments = {}) const { return StartAt(Exe(), arguments); }
    std::unique_ptr<Program> StartAt(const std::string &exe, const std::string &arguments = {}) const {
        auto program = std::make_unique<Program>(exe, platform::DirectoryOf(exe), BinDir() + ";" + SystemPath(),
                                                 AppData(), arguments);
        EXPECT_TRUE(program->Started());
        return program;
    }

    // The runs of the stand-in curl: the arguments of each, and its standard input.
    struct Call {
        std::vector<std::string> args;
        std::string input;
    };
    std::vector<Call> Calls() const {
        std::vector<Call> calls;
        const std::string text = ReadBytes(BinDir() + "calls.txt");
        std::size_t start = 0;
        while ((start = text.find("call\n", start)) != std::string::npos) {
            std::size_t end = text.find("call\n", start + 1);
            const std::string one = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            const std::vector<std::string> input = HexLines(one, "stdin:");
            calls.push_back({HexLines(one, "arg:"), input.empty() ? std::string() : input[0]});
            start = start + 1;
        }
        return calls;
    }

    static std::string SystemPath() {
        char buffer[4096] = {};
        GetEnvironmentVariableA("PATH", buffer, sizeof buffer);
        return buffer;
    }

    TempFolder root_;
};

bool HasArgWith(const std::vector<std::string> &args, const std::string &part) {
    for (const std::string &arg : args)
        if (arg.find(part) != std::string::npos)
            return true;
    return false;
}

// An accepted update stores the new address. A refused one pauses the program and is stored
// by the time its box shows: nothing goes out until the user acts.
TEST_F(ProgramTest, ARunningStartChecksAndUpdatesAndARefusalPausesBeforeItsBox) {
    const struct {
        std::string update;
        const char *paused;
        const char *logged;
    } rows[] = {{std::string("good ") + kNewAddress, "FALSE", "\tCheck: "},
                {"badauth", "TRUE", "Update: badauth (the service refused the user name or password)"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.update);
        DeleteFileA((BinDir() + "calls.txt").c_str());
        WriteSettings(false);
        Answer(kNewAddress, row.update);
        const auto program = Start();
        const bool refused = row.update == "badauth";
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            return refused ? (box = program->Box()) != nullptr && IsWindowVisible(box)
                           : IniValue(Settings(), "FSET_LAST_IP") == kNewAddress;
        })) << "settings:\n"
            << Settings() << "\nlog:\n"
            << Log();
        const std::vector<Call> calls = Calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_TRUE(HasArgWith(calls[0].args, "/checkip"));
        EXPECT_TRUE(HasArgWith(calls[1].args, "/v3/update"));
        EXPECT_TRUE(HasArgWith(calls[1].args, "hostname=home.example.net"));
        EXPECT_TRUE(HasArgWith(calls[1].args, std::string("myip=") + kNewAddress));
        // The password goes on curl's standard input, never on its command line.
        EXPECT_NE(calls[1].input.find("alice:s3cret"), std::string::npos) << calls[1].input;
        EXPECT_FALSE(HasArgWith(calls[1].args, "s3cret"));
        EXPECT_EQ(IniValue(Settings(), "FSET_StateIsPaused"), row.paused);
        EXPECT_NE(Log().find(row.logged), std::string::npos) << Log();
        EXPECT_NE(Log().find(kNewAddress), std::string::npos) << Log();
        if (refused) {
            const std::optional<std::string> refusal = IniValue(Settings(), "FSET_UPD_Refusal");
            ASSERT_TRUE(refusal.has_value());
            EXPECT_TRUE(refusal->ends_with(" badauth")) << *refusal;
            EXPECT_EQ(refusal->find("s3cret"), std::string::npos);
        }
        ASSERT_NO_FATAL_FAILURE(EndSession(*program));
    }
}

TEST_F(ProgramTest, ASecondCopyEndsAtOnce) {
    WriteSettings(true);
    const auto first = Start();
    const HWND window = first->WaitForMainWindow(false);
    ASSERT_NE(window, nullptr);

    const auto second = Start();
    EXPECT_EQ(second->WaitExit(), 0u);
    EXPECT_TRUE(first->Running());
    EXPECT_EQ(first->MainWindow(), window);

    // Arguments are checked first: a misspelt mode is refused, not taken for a second copy.
    const struct {
        const char *arguments;
        DWORD status;
    } rows[] = {{" --onc", 2}, {" now", 2}, {" -platform offscreen", 2}, {" -h", 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments);
        EXPECT_EQ(Start(row.arguments)->WaitExit(), row.status);
    }
    EXPECT_EQ(first->MainWindow(), window);

    ASSERT_NO_FATAL_FAILURE(EndSession(*first, window));
}

TEST_F(ProgramTest, TheEndOfTheSessionDuringAHangingRequestSavesAndEndsAtOnce) {
    WriteSettings(false);
    Answer("hang", "good");
    const auto program = Start();
    ASSERT_TRUE(WaitFor([&] { return Calls().size() == 1; })) << "the check never started";
    const HWND window = program->WaitForMainWindow(false);
    ASSERT_NE(window, nullptr);

    // While curl hangs the program still answers, and saves at the question.
    DeleteFileA(SettingsFile().c_str());
    // Ends far sooner than the runner's 60 s bound: the hanging request was ended, not waited for.
    ASSERT_NO_FATAL_FAILURE(EndSession(*program, window));
    EXPECT_EQ(IniValue(Settings(), "FSET_LAST_IP"), kOldAddress);
    EXPECT_EQ(IniValue(Settings(), "FSET_User"), "alice");
    EXPECT_EQ(Calls().size(), 1u) << "nothing sent after the end";
}

// An address that --once could not record would be sent again by every later run: with a
// read-only Settings.ini no update goes out and the run fails.
TEST_F(ProgramTest, OnceChecksUpdatesAndLogsWithoutAWindowUnlessItCannotRecordTheAddress) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only settings" : "writable settings");
        DeleteFileA((BinDir() + "calls.txt").c_str());
        SetFileAttributesA(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteSettings(true); // paused: one check asked for on the command line runs anyway
        if (readOnly)
            ASSERT_TRUE(SetFileAttributesA(SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY));
        Answer(kNewAddress, std::string("good ") + kNewAddress);
        const auto program = Start(" --once");
        EXPECT_EQ(program->WaitExit(), readOnly ? 1u : 0u);
        EXPECT_EQ(program->MainWindow(), nullptr);
        EXPECT_EQ(Calls().size(), readOnly ? 1u : 2u) << "an update only when its answer can be recorded";
        EXPECT_EQ(IniValue(Settings(), "FSET_LAST_IP"), readOnly ? kOldAddress : kNewAddress);
        EXPECT_NE(Log().find(std::string("Now: ") + kNewAddress), std::string::npos) << Log();
    }
    SetFileAttributesA(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A notification area of the test's own: the window Shell_NotifyIcon hands the icons to. It
// keeps the last tip it was given, found in the message by the tip's known start. The
// program tests hold a lock, so no other copy of the program sees it meanwhile.
class TestTray {
public:
    TestTray() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestTray() { DestroyWindow(window_); }
    TestTray(const TestTray &) = delete;
    TestTray &operator=(const TestTray &) = delete;

    bool Ours() const { return window_ != nullptr && FindWindowA("Shell_TrayWnd", nullptr) == window_; }
    // Takes the messages sent to it meanwhile.
    const std::wstring &Tip() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        return tip_;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto *self = reinterpret_cast<TestTray *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self != nullptr) {
            const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
            const std::wstring bytes(static_cast<const wchar_t *>(data->lpData), data->cbData / sizeof(wchar_t));
            const std::size_t at = bytes.find(L"Windows DDNS Client");
            if (at != std::wstring::npos)
                self->tip_ = bytes.substr(at, bytes.find(L'\0', at) - at);
            return TRUE;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::wstring tip_;
};

// With the service out of reach the start's check gets no answer: the tray tip says when the
// next try comes.
TEST_F(ProgramTest, AStartWithoutAnAnswerTellsWhenTheNextTryComes) {
    TestTray tray;
    if (!tray.Ours())
        GTEST_SKIP() << "another notification area is there";
    WriteSettings(false);
    const auto program = Start(); // the stand-in curl finds no answer: could not connect
    ASSERT_TRUE(WaitFor([&] { return tray.Tip().find(L"; next try ") != std::wstring::npos; }))
        << "tip: " << std::string(tray.Tip().begin(), tray.Tip().end());
    EXPECT_EQ(tray.Tip().rfind(L"Windows DDNS Client\ncheck failed: ", 0), 0u);
    EXPECT_EQ(Calls().size(), 1u);
    ASSERT_NO_FATAL_FAILURE(EndSession(*program));
}

// The program is unpaused from its tray menu, which checks nothing (a check would hold the
// next one off for a minute); the wake then brings one check once the network settled.
TEST_F(ProgramTest, AWakeFromSleepBringsACheck) {
    WriteSettings(true);
    Answer(kOldAddress, "good");
    const auto program = Start();
    const HWND window = program->WaitForMainWindow(true);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, 1025, 1, WM_RBUTTONDOWN); // the tray icon's right click
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = program->WindowOfClass("#32768")) != nullptr && IsWindowVisible(menu); }))
        << "no tray menu";
    // Its last item is "Unpause".
    PostMessageA(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); })) << "the menu stayed open";

    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 10000, &answer),
              0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    EXPECT_TRUE(Calls().empty()) << "not before the network settled";
    ASSERT_TRUE(WaitFor([&] { return Calls().size() == 1; }, 25s)) << "log:\n" << Log();
    EXPECT_TRUE(HasArgWith(Calls()[0].args, "/checkip"));

    ASSERT_NO_FATAL_FAILURE(EndSession(*program, window));
    EXPECT_EQ(IniValue(Settings(), "FSET_StateIsPaused"), "FALSE");
    EXPECT_EQ(Calls().size(), 1u);
}

// A string value under HKEY_CURRENT_USER that a test sets; the one it had comes back after.
class ScopedRegistryValue {
public:
    ScopedRegistryValue(std::string key, std::string name)
        : key_(std::move(key)), name_(std::move(name)), saved_(Get()) {}
    ~ScopedRegistryValue() { Set(saved_); }
    ScopedRegistryValue(const ScopedRegistryValue &) = delete;
    ScopedRegistryValue &operator=(const ScopedRegistryValue &) = delete;

    std::optional<std::string> Get() const {
        char data[2048] = {};
        DWORD size = sizeof data;
        if (RegGetValueA(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return std::string(data);
    }
    void Set(const std::optional<std::string> &value) const {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        if (value)
            RegSetValueExA(key, name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value->c_str()),
                           static_cast<DWORD>(value->size() + 1));
        else
            RegDeleteValueA(key, name_.c_str());
        RegCloseKey(key);
    }

private:
    std::string key_;
    std::string name_;
    std::optional<std::string> saved_;
};

// A second copy of the program in a folder of its own, and what an installer and a login
// entry leave in the registry (none of it at the start).
class InstalledProgramTest : public ProgramTest {
protected:
    InstalledProgramTest() {
        CreateDirectoryA(InstalledDir().c_str(), nullptr);
        CopyFileA(Exe().c_str(), InstalledExe().c_str(), FALSE);
        runValue_.Set(std::nullopt);
        installFolder_.Set(std::nullopt);
    }

    std::string InstalledDir() const { return root_.Path() + "installed\\"; }
    std::string InstalledExe() const { return InstalledDir() + "Zevlo.exe"; }
    std::string PerUserDir() const { return AppData() + "\\Zevlo\\"; }

    ScopedRegistryValue runValue_{platform::win::kRunKey, "Zevlo"};
    ScopedRegistryValue installFolder_{platform::win::kProductKey, platform::win::kInstallFolderValue};
};

// The texts of a box's controls, one a line.
std::string TextOfChildren(HWND window) {
    std::string text;
    const auto append = [](HWND child, LPARAM data) -> BOOL {
        char text[2048] = {};
        GetWindowTextA(child, text, sizeof text);
        *reinterpret_cast<std::string *>(data) += std::string(text) + "\n";
        return TRUE;
    };
    EnumChildWindows(window, append, reinterpret_cast<LPARAM>(&text));
    return text;
}

std::string Lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string ForwardSlashes(std::string text) {
    for (char &c : text)
        c = c == '\\' ? '/' : c;
    return text;
}

TEST_F(InstalledProgramTest, TheInstallersFolderRecordDecidesWhereTheFilesLive) {
    const struct {
        const char *name;
        std::function<std::optional<std::string>()> recorded;
        bool perUser;
    } cases[] = {
        {"its own folder, written otherwise",
         [&] {
             const std::string dir = InstalledDir();
             return Lower(ForwardSlashes(dir.substr(0, dir.size() - 1)));
         },
         true},
        {"another folder (a zip copy beside an installed one)", [&] { return root_.Path() + "elsewhere\\"; }, false},
        {"no installation", [] { return std::nullopt; }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        installFolder_.Set(c.recorded());
        const auto program = StartAt(InstalledExe());
        const HWND window = program->WaitForMainWindow(true);
        ASSERT_NE(window, nullptr);
        ASSERT_NO_FATAL_FAILURE(EndSession(*program, window));
        EXPECT_EQ(Exists(PerUserDir() + "Settings.ini"), c.perUser);
        EXPECT_EQ(Exists(InstalledDir() + "Settings.ini"), !c.perUser);
        // A first run: the window shows, nothing is sent and the program stays paused.
        EXPECT_FALSE(Exists(BinDir() + "calls.txt")) << "curl was started";
        EXPECT_EQ(
            IniValue(ReadBytes((c.perUser ? PerUserDir() : InstalledDir()) + "Settings.ini"), "FSET_StateIsPaused"),
            "TRUE");
        for (const std::string &dir : {PerUserDir(), InstalledDir()})
            for (const char *name : {"Settings.ini", "log.txt"})
                DeleteFileA((dir + name).c_str());
    }
}

TEST_F(InstalledProgramTest, AFirstStartOffersToTakeOverThePortableCopyStartedAtSignIn) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        // "Start with Windows" is on: the settings alone never repoint an entry that exists.
        WriteSettings(true, true);
        WriteBytes(AppDir() + "log.txt", "portable line\r\n");
        const std::string portableEntry = "\"" + Exe() + "\"";
        runValue_.Set(portableEntry);
        installFolder_.Set(InstalledDir());

        const auto program = StartAt(InstalledExe());
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = program->Box()) != nullptr && IsWindowVisible(box); }))
            << "no question was asked";
        const std::string text = TextOfChildren(box);
        EXPECT_NE(text.find(Exe()), std::string::npos) << text;
        PostMessageA(box, WM_COMMAND, yes ? IDYES : IDNO, 0);
        const HWND window = program->WaitForMainWindow(true);
        ASSERT_NE(window, nullptr);
        ASSERT_NO_FATAL_FAILURE(EndSession(*program, window));

        const std::string perUserSettings = ReadBytes(PerUserDir() + "Settings.ini");
        if (yes) {
            EXPECT_EQ(IniValue(perUserSettings, "FSET_User"), "alice");
            EXPECT_EQ(ReadBytes(PerUserDir() + "log.txt").rfind("portable line\r\n", 0), 0u);
            EXPECT_FALSE(Exists(SettingsFile()));
            EXPECT_FALSE(Exists(AppDir() + "log.txt"));
            EXPECT_EQ(runValue_.Get(), "\"" + InstalledExe() + "\"");
        } else {
            EXPECT_NE(IniValue(perUserSettings, "FSET_User"), "alice") << "the installed copy started afresh";
            EXPECT_EQ(IniValue(Settings(), "FSET_User"), "alice");
            EXPECT_EQ(ReadBytes(AppDir() + "log.txt"), "portable line\r\n");
            EXPECT_EQ(runValue_.Get(), portableEntry);
        }
        for (const char *name : {"Settings.ini", "log.txt"})
            DeleteFileA((PerUserDir() + name).c_str());
    }
}

TEST_F(InstalledProgramTest, RemoveAutostartRemovesTheEntryOnlyWhenItStartsThisProgram) {
    const struct {
        const char *name;
        std::optional<std::string> entry;
        bool removed;
    } cases[] = {
        {"this program, quoted", "\"" + InstalledExe() + "\"", true},
        {"this program, unquoted in other case", Lower(InstalledExe()), true},
        {"the portable copy", "\"" + Exe() + "\"", false},
        {"no entry", std::nullopt, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        runValue_.Set(c.entry);
        const auto program = StartAt(InstalledExe(), " --remove-autostart");
        EXPECT_EQ(program->WaitExit(), 0u);
        EXPECT_EQ(runValue_.Get(), c.removed ? std::nullopt : c.entry);
    }
}

} // namespace
} // namespace zevlo::win
