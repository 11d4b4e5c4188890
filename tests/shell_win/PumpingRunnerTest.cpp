#include "shell/win/PumpingRunner.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace zevlo::win {
namespace {

constexpr UINT kPosted = WM_APP + 5;

// A window that notes the messages its procedure gets.
class NotingWindow {
public:
    NotingWindow() {
        WNDCLASSA noting{};
        noting.lpfnWndProc = Proc;
        noting.hInstance = GetModuleHandleA(nullptr);
        noting.lpszClassName = "ZevloNotingWindow";
        RegisterClassA(&noting);
        window_ = CreateWindowExA(0, noting.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, noting.hInstance,
                                  nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~NotingWindow() { DestroyWindow(window_); }
    NotingWindow(const NotingWindow &) = delete;
    NotingWindow &operator=(const NotingWindow &) = delete;

    HWND Handle() const { return window_; }
    std::vector<UINT> seen;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (auto *self = reinterpret_cast<NotingWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
            self->seen.push_back(message);
            if (message == WM_QUERYENDSESSION)
                return TRUE;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

// Asks the window a question while "curl" runs, as the end of the session would.
class AskingRunner final : public platform::IProcessRunner {
public:
    explicit AskingRunner(HWND window) : window_(window) {}
    DWORD thread = 0;
    BOOL delivered = FALSE;
    DWORD_PTR answer = 0;

    platform::RunResult RunCommand(const std::string &, const std::string &) override { return Ask(); }
    platform::RunResult RunProgram(const std::vector<std::string> &, const std::string &,
                                   const std::optional<std::string> &) override {
        return Ask();
    }

private:
    platform::RunResult Ask() {
        thread = GetCurrentThreadId();
        // A window that does not answer within the bound would be taken for hung.
        delivered =
            SendMessageTimeoutA(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer) != 0;
        return {"answered", platform::ChildEnd::Exited, 0};
    }
    HWND window_;
};

TEST(PumpingRunner, AnswersSentMessagesDuringTheRunAndLeavesPostedOnesQueued) {
    NotingWindow window;
    PostMessageA(window.Handle(), kPosted, 0, 0);
    AskingRunner asking(window.Handle());
    PumpingRunner runner(asking);

    for (const bool program : {true, false}) {
        asking.delivered = FALSE;
        const platform::RunResult result =
            program ? runner.RunProgram({"curl"}, "", std::nullopt) : runner.RunCommand("script", "");
        EXPECT_EQ(result.output, "answered");
        EXPECT_NE(asking.thread, GetCurrentThreadId()) << "the run goes on aside";
        EXPECT_TRUE(asking.delivered);
        EXPECT_EQ(asking.answer, static_cast<DWORD_PTR>(TRUE));
    }
    EXPECT_EQ(window.seen, (std::vector<UINT>{WM_QUERYENDSESSION, WM_QUERYENDSESSION}));
    MSG posted;
    EXPECT_TRUE(PeekMessageA(&posted, window.Handle(), kPosted, kPosted, PM_REMOVE)) << "still queued";
}

} // namespace
} // namespace zevlo::win
