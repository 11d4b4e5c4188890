#pragma once

#include "form/MainView.h"

#include <QWidget>

#include <array>
#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace zevlo::form {
class TfrmMain;
}

namespace zevlo::qt {

class LogWindow;

// The main window in Qt widgets: binds every control to the form logic and back. Which
// control does what, and when, is the form logic's business.
class MainWindow final : public QWidget, public form::IMainView {
    Q_OBJECT
public:
    // `trayAvailable` answers whether a notification area exists (asked at every hide).
    MainWindow(LogWindow &logWindow, std::function<bool()> trayAvailable);
    ~MainWindow() override;

    // Handlers go to `form` from here on; before, nothing calls them.
    void Bind(form::TfrmMain &form);

    // The widget of a control (QWidget, or a QAction of the tray menu).
    QObject *Widget(form::Control control) const { return controls_[Index(control)]; }
    QSystemTrayIcon *TrayIcon() const { return trayIcon_; }
    QMenu *TrayMenu() const { return popTray_; }
    QTimer *Timer() const { return Timer1_; }
    QTimer *CheckTimer() const { return checkTimer_; }

    // IMainView
    std::string Text(form::Control control) const override;
    void SetText(form::Control control, const std::string &text) override;
    int Entry(form::Control control) const override;
    void SetEntry(form::Control control, int entry) override;
    bool Checked(form::Control control) const override;
    void SetChecked(form::Control control, bool checked) override;
    void SetEnabled(form::Control control, bool enabled) override;
    void SetVisible(form::Control control, bool visible) override;
    void SetAlert(form::Control control, bool alert) override;
    void SetToolTip(form::Control control, const std::string &text) override;
    form::BoxAnswer ShowBox(form::BoxKind kind, const std::string &caption, const std::string &text) override;
    bool TrayAvailable() override;
    void SetTrayIcon(bool shown) override;
    void SetTrayTip(const std::string &tip) override;
    void StartTimer(int milliseconds) override;
    void StopTimer() override;
    void StartCheckTimer(int milliseconds) override;
    void StopCheckTimer() override;
    void SetCaption(const std::string &caption) override;
    bool IsVisible() const override;
    bool IsMinimised() const override;
    void ShowWindow() override;
    void ShowMinimised() override;
    void HideWindow() override;
    form::Point Position() const override;
    void MoveTo(form::Point topLeft) override;
    std::vector<form::Rect> ScreenAreas() const override;
    void SetBusy(bool busy) override;
    std::string ChooseFileToOpen(const std::string &current, const form::FileFilter &filter) override;
    void ShowLogViewer() override;
    void EndEventLoops() override;
    void FormGone() override { form_ = nullptr; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static std::size_t Index(form::Control control) { return static_cast<std::size_t>(control); }
    static QPalette AlertPalette(const QWidget *widget);
    template <typename T> T *As(form::Control control) const;
    void BuildForm();
    void BuildTray();
    void Connect();
    // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp step through the tabs; Escape
    // closes the window as its close button does.
    void BindKeys();
    void StepTab(int step);
    // A message box's parent: the window while it can be seen, else none (a box owned by a
    // hidden window would not show on some desktops).
    QWidget *BoxParent();

    LogWindow &logWindow_;
    std::function<bool()> trayAvailable_;
    form::TfrmMain *form_ = nullptr;
    std::array<QObject *, form::kControlCount> controls_{};
    // Edits whose text the user changed since their handler last ran.
    std::array<bool, form::kControlCount> edited_{};
    QSystemTrayIcon *trayIcon_ = nullptr;
    QMenu *popTray_ = nullptr;
    QTimer *Timer1_ = nullptr;
    QTimer *checkTimer_ = nullptr;
    bool busy_ = false;
};

} // namespace zevlo::qt
