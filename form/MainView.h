#pragma once

#include "form/Controls.h"

#include <string>
#include <vector>

namespace zevlo::form {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point &) const = default;
};

// A screen's usable area, in the coordinates of window positions.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool Contains(Point p) const { return p.x >= left && p.y >= top && p.x < left + width && p.y < top + height; }
};

// error: OK; warning: OK; confirmation: Yes and No; file error: OK.
enum class BoxKind { Error, Warning, Confirmation, FileError };
enum class BoxAnswer { Ok, Yes, No };

// A file dialog's filter: "All files(*.*)" showing, "*.*" matching.
struct FileFilter {
    std::string name;
    std::string pattern;
};

// The main window as the form logic sees it. A shell implements it over its widgets and
// calls the form logic's handlers when the user acts; a value set here never comes back as
// a handler call. Texts are 8-bit, as the settings files hold them.
class IMainView {
public:
    virtual ~IMainView() = default;

    // Edits, the shown text of lists, the value of spnMaxLog, and the captions of labels and
    // menu items.
    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string &text) = 0;
    // Lists: the selected entry, -1 for none (an editable list keeps its typed text apart).
    virtual int Entry(Control control) const = 0;
    virtual void SetEntry(Control control, int entry) = 0;
    // Check boxes.
    virtual bool Checked(Control control) const = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    // A label in the alert colour (red) or the normal one.
    virtual void SetAlert(Control control, bool alert) = 0;
    // The text shown when the pointer rests on a control; empty for none.
    virtual void SetToolTip(Control control, const std::string &text) = 0;

    virtual BoxAnswer ShowBox(BoxKind kind, const std::string &caption, const std::string &text) = 0;

    // The notification area: asked anew each time (a panel may come up after the program).
    virtual bool TrayAvailable() = 0;
    virtual void SetTrayIcon(bool shown) = 0;
    virtual void SetTrayTip(const std::string &tip) = 0;

    // Timer1: ticks come back as Timer1Timer().
    virtual void StartTimer(int milliseconds) = 0;
    virtual void StopTimer() = 0;
    // The single-shot check timer, besides Timer1: fires once, `milliseconds` from now, as
    // CheckTimerTimer(); started again, it forgets the earlier time.
    virtual void StartCheckTimer(int milliseconds) = 0;
    virtual void StopCheckTimer() = 0;

    virtual void SetCaption(const std::string &caption) = 0;
    virtual bool IsVisible() const = 0;
    virtual bool IsMinimised() const = 0;
    // Shown normally (restored when minimised), raised and activated.
    virtual void ShowWindow() = 0;
    virtual void ShowMinimised() = 0;
    virtual void HideWindow() = 0;
    virtual Point Position() const = 0;
    virtual void MoveTo(Point topLeft) = 0;
    virtual std::vector<Rect> ScreenAreas() const = 0;

    virtual void SetBusy(bool busy) = 0;
    // The full path chosen, or empty when cancelled.
    virtual std::string ChooseFileToOpen(const std::string &current, const FileFilter &filter) = 0;
    // Shows the log viewer modally; returns when it is closed.
    virtual void ShowLogViewer() = 0;
    // Ends the event loop and every nested one (open boxes and dialogs included).
    virtual void EndEventLoops() = 0;
    // The form logic is going: no handler of it may run from now on, also not for what the
    // widgets do as they are destroyed later (a focused edit ends its editing).
    virtual void FormGone() = 0;
};

} // namespace zevlo::form
