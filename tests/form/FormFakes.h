#pragma once

// The seams of the form logic for tests: views that keep the controls' values and record
// what the windows would show, a runner that stands in for curl, and a login entry.

#include "form/LogView.h"
#include "form/MainView.h"
#include "form/TfrmLog.h"
#include "form/TfrmMain.h"
#include "platform/Autostart.h"
#include "tests/support/ScriptedRunner.h"

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zevlo::test {

using form::BoxAnswer;
using form::BoxKind;
using form::Control;

struct SeenBox {
    BoxKind kind;
    std::string caption;
    std::string text;
    bool operator==(const SeenBox &) const = default;
};
using Boxes = std::vector<SeenBox>;
inline void PrintTo(const SeenBox &box, std::ostream *out) {
    *out << box.caption << ": " << box.text;
}

// The main window as plain values, starting as the window is built; the user acts through
// Type, Choose and Click, which call the form logic's handler as a shell would.
class FakeMainView final : public form::IMainView {
public:
    struct State {
        std::string text;
        int entry = -1;
        bool checked = false;
        bool enabled = true;
        bool visible = true;
        bool alert = false;
        std::string toolTip;
    };

    FakeMainView();

    form::TfrmMain *form = nullptr;
    std::array<State, form::kControlCount> controls;
    std::vector<SeenBox> boxes;
    // Answers of confirmation boxes, in order; No once none is left.
    std::deque<BoxAnswer> answers;
    // Runs while a box is open, as the nested event loop of a real box would.
    std::function<void(const SeenBox &)> whileBoxOpen;
    bool trayAvailable = true;
    bool trayIconShown = false;
    std::string trayTip;
    bool timerActive = false;
    int timerMs = 0;
    std::optional<int> checkTimerMs; // the single-shot check timer's delay while armed
    std::string caption;
    bool visible = false;
    bool minimised = false;
    form::Point position{200, 150};
    std::vector<form::Rect> screens{{0, 0, 1280, 1024}};
    bool busy = false;
    std::string fileToOpen; // the open dialog's answer
    std::function<void()> whileFileDialogOpen;
    std::vector<std::string> openDialogFilters;
    int logViewerShowings = 0;
    std::function<void()> whileLogViewerOpen;
    bool eventLoopsEnded = false;

    State &operator[](Control control) { return controls[static_cast<std::size_t>(control)]; }
    const State &operator[](Control control) const { return controls[static_cast<std::size_t>(control)]; }
    // Types into a field, then tells the form logic, as an edit does.
    void Type(Control control, const std::string &text);
    void Choose(Control list, int entry);
    // Toggles a check box, then runs the handler.
    void Click(Control control);

    std::string Text(Control control) const override;
    void SetText(Control control, const std::string &text) override { (*this)[control].text = text; }
    int Entry(Control control) const override { return (*this)[control].entry; }
    void SetEntry(Control control, int entry) override;
    bool Checked(Control control) const override { return (*this)[control].checked; }
    void SetChecked(Control control, bool checked) override { (*this)[control].checked = checked; }
    void SetEnabled(Control control, bool enabled) override { (*this)[control].enabled = enabled; }
    void SetVisible(Control control, bool shown) override { (*this)[control].visible = shown; }
    void SetAlert(Control control, bool alert) override { (*this)[control].alert = alert; }
    void SetToolTip(Control control, const std::string &text) override { (*this)[control].toolTip = text; }
    BoxAnswer ShowBox(BoxKind kind, const std::string &boxCaption, const std::string &text) override;
    bool TrayAvailable() override { return trayAvailable; }
    void SetTrayIcon(bool shown) override { trayIconShown = shown; }
    void SetTrayTip(const std::string &tip) override { trayTip = tip; }
    void StartTimer(int milliseconds) override {
        timerActive = true;
        timerMs = milliseconds;
    }
    void StopTimer() override { timerActive = false; }
    void StartCheckTimer(int milliseconds) override { checkTimerMs = milliseconds; }
    void StopCheckTimer() override { checkTimerMs.reset(); }
    void SetCaption(const std::string &text) override { caption = text; }
    bool IsVisible() const override { return visible; }
    bool IsMinimised() const override { return minimised; }
    void ShowWindow() override { visible = true, minimised = false; }
    void ShowMinimised() override { visible = true, minimised = true; }
    void HideWindow() override { visible = false; }
    form::Point Position() const override { return position; }
    void MoveTo(form::Point topLeft) override { position = topLeft; }
    std::vector<form::Rect> ScreenAreas() const override { return screens; }
    void SetBusy(bool on) override { busy = on; }
    std::string ChooseFileToOpen(const std::string &current, const form::FileFilter &filter) override;
    void ShowLogViewer() override;
    void EndEventLoops() override { eventLoopsEnded = true; }
    void FormGone() override { form = nullptr; }
};

class FakeLogView final : public form::ILogView {
public:
    form::TfrmLog *form = nullptr;
    TextList lines;
    bool allSelected = false;
    int copies = 0;
    std::vector<form::SaveDialog> saveDialogs;
    std::string savePath; // the save dialog's answer; empty: cancelled
    std::vector<SeenBox> boxes;

    void SetLines(const TextList &shown) override {
        lines = shown;
        allSelected = false;
    }
    void SelectAll() override { allSelected = true; }
    void CopySelection() override { copies += allSelected ? 1 : 0; }
    std::string ChooseSaveFile(const form::SaveDialog &dialog) override {
        saveDialogs.push_back(dialog);
        return savePath;
    }
    void ShowBox(BoxKind kind, const std::string &caption, const std::string &text) override {
        boxes.push_back({kind, caption, text});
    }
    void FormGone() override { form = nullptr; }
};

// The scripted runner as these tests use it: the service sees 198.51.100.7 and takes every
// update; `view`: whose busy state each call notes (none in tests of a whole shell).
ScriptedRunner ServiceLikeRunner(const FakeMainView *view = nullptr);

// The login entry, as a flag and a record of what was asked of it.
class RecordingAutostart final : public platform::IAutostart {
public:
    bool present = false;
    std::vector<std::string> writes;
    int removes = 0;

    bool IsPresent() override { return present; }
    bool Write(const std::string &exePath) override {
        writes.push_back(exePath);
        return present = true;
    }
    bool Remove() override {
        ++removes;
        present = false;
        return true;
    }
};

} // namespace zevlo::test
