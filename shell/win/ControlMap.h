#pragma once

#include "form/Controls.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>

namespace zevlo::win {

// The main window's controls under their names: which child window each one is, and its
// value read and written by kind (edits, lists, check boxes, labels, the spin edit with its
// arrows). The tray menu's items are no windows; the TrayIcon keeps them.
class ControlMap {
public:
    // How many controls are windows.
    static constexpr std::size_t kWindowCount = 38;

    ControlMap();

    // Finds every control among the children of `dialogs`, fills the lists with their entries
    // (the first one chosen) and gives the spin edit's arrows their range and step.
    void Bind(std::initializer_list<HWND> dialogs);

    // The window of a control; null for the tray menu's items.
    HWND Window(form::Control control) const { return windows_[Index(control)]; }
    // The control whose window has the dialog item id `id`; false for none.
    bool FindControl(int id, form::Control &control) const;

    // Edits, labels, buttons, the spin edit's field and the shown text of lists alike.
    std::string Text(form::Control control) const;
    // Lists take a text only when the user may type one; the spin edit holds it within its range.
    void SetText(form::Control control, const std::string &text);
    int Entry(form::Control control) const;
    void SetEntry(form::Control control, int entry);
    bool Checked(form::Control control) const;
    // True once after the user changed the text of an edit or of an editable list's field;
    // a text the program set never counts.
    bool TakeUserEdit(form::Control control);
    void SetChecked(form::Control control, bool checked);
    // The spin edit's arrows go with it.
    void SetEnabled(form::Control control, bool enabled);
    void SetVisible(form::Control control, bool visible);

    // Labels in the alert colour; "Application paused" always is.
    bool Alert(form::Control control) const { return alert_[Index(control)]; }
    void SetAlert(form::Control control, bool alert);
    // Whether a label's text is drawn in the alert colour now (an enabled alert label).
    bool DrawsInAlertColour(HWND label) const;

private:
    static std::size_t Index(form::Control control) { return static_cast<std::size_t>(control); }
    // The window that belongs to a control's own (the spin edit's arrows); null for the others.
    HWND Companion(form::Control control) const;

    std::array<HWND, form::kControlCount> windows_{};
    std::array<bool, form::kControlCount> alert_{};
    HWND spinArrows_ = nullptr;
};

} // namespace zevlo::win
