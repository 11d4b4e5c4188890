#include "shell/win/ControlMap.h"

#include "form/FormRules.h"
#include "shell/win/Resource.h"
#include "shell/win/WinUi.h"

#include <commctrl.h>

#include <iterator>

namespace zevlo::win {

namespace {

using form::Control;
using form::ControlKind;

struct Binding {
    Control control;
    int id;
};

// The dialog item of each control that is a window.
constexpr Binding kBindings[] = {
    {Control::cmbUpdInterval, IDC_cmbUpdInterval},
    {Control::chkStartWithWin, IDC_chkStartWithWin},
    {Control::chkRememberPause, IDC_chkRememberPause},
    {Control::lblUser, IDC_lblUser},
    {Control::edtUser, IDC_edtUser},
    {Control::lblPass, IDC_lblPass},
    {Control::edtPass, IDC_edtPass},
    {Control::edtHostname, IDC_edtHostname},
    {Control::spnMaxLog, IDC_spnMaxLog},
    {Control::btnViewLog, IDC_btnViewLog},
    {Control::lblHint, IDC_lblHint},
    {Control::cmbService, IDC_cmbService},
    {Control::cmbProtocol, IDC_cmbProtocol},
    {Control::edtPort, IDC_edtPort},
    {Control::edtServer, IDC_edtServer},
    {Control::edtBaseURI, IDC_edtBaseURI},
    {Control::cmbMethod, IDC_cmbMethod},
    {Control::cmbAuthType, IDC_cmbAuthType},
    {Control::btnForceUpdate, IDC_btnForceUpdate},
    {Control::lblCProtocol, IDC_lblCProtocol},
    {Control::cmbCProtocol, IDC_cmbCProtocol},
    {Control::lblCPort, IDC_lblCPort},
    {Control::edtCPort, IDC_edtCPort},
    {Control::lblCServer, IDC_lblCServer},
    {Control::edtCServer, IDC_edtCServer},
    {Control::lblCBaseURI, IDC_lblCBaseURI},
    {Control::edtCBaseURI, IDC_edtCBaseURI},
    {Control::lblCMethod, IDC_lblCMethod},
    {Control::cmbCMethod, IDC_cmbCMethod},
    {Control::lblCAuthType, IDC_lblCAuthType},
    {Control::cmbCAuthType, IDC_cmbCAuthType},
    {Control::chkCustomIP, IDC_chkCustomIP},
    {Control::edtCustomChkIP, IDC_edtCustomChkIP},
    {Control::spdCOpenDir, IDC_spdCOpenDir},
    {Control::lblPaused, IDC_lblPaused},
    {Control::btnUnpause, IDC_btnUnpause},
    {Control::btnSaveConfig, IDC_btnSaveConfig},
    {Control::btnTerminate, IDC_btnTerminate},
};
static_assert(std::size(kBindings) == ControlMap::kWindowCount);

void RedrawLabel(HWND label) {
    // The label draws over its parent's background: that is painted anew beneath it.
    HWND parent = GetParent(label);
    RECT area{};
    GetWindowRect(label, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace

ControlMap::ControlMap() {
    alert_[Index(Control::lblPaused)] = true;
}

void ControlMap::Bind(std::initializer_list<HWND> dialogs) {
    for (const Binding &binding : kBindings) {
        for (HWND dialog : dialogs) {
            if (HWND found = GetDlgItem(dialog, binding.id)) {
                windows_[Index(binding.control)] = found;
                break;
            }
        }
    }
    for (const Control control : form::AllControls()) {
        if (form::KindOf(control) != ControlKind::List)
            continue;
        HWND list = Window(control);
        for (const std::string &entry : form::ListEntries(control))
            Send(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        Send(list, CB_SETCURSEL, 0);
    }
    spinArrows_ = GetDlgItem(GetParent(Window(Control::spnMaxLog)), IDC_spnMaxLogArrows);
    Send(spinArrows_, UDM_SETRANGE32, form::kMaxLogMin, form::kMaxLogMax);
    UDACCEL step{0, form::kMaxLogStep};
    Send(spinArrows_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    Send(spinArrows_, UDM_SETPOS32, 0, form::kMaxLogMin);
    SetWindowTextA(Window(Control::spnMaxLog), std::to_string(form::kMaxLogMin).c_str());
}

bool ControlMap::FindControl(int id, Control &control) const {
    for (const Binding &binding : kBindings) {
        if (binding.id == id) {
            control = binding.control;
            return true;
        }
    }
    return false;
}

HWND ControlMap::Companion(Control control) const {
    return form::KindOf(control) == ControlKind::SpinEdit ? spinArrows_ : nullptr;
}

std::string ControlMap::Text(Control control) const {
    return WindowText(Window(control));
}

void ControlMap::SetText(Control control, const std::string &text) {
    HWND window = Window(control);
    switch (form::KindOf(control)) {
    case ControlKind::List:
        if (form::IsEditableList(control))
            SetWindowTextA(window, text.c_str());
        return;
    case ControlKind::SpinEdit: {
        const int current = static_cast<int>(Send(Companion(control), UDM_GETPOS32));
        const int value = form::MaxLogFromText(text, current);
        Send(Companion(control), UDM_SETPOS32, 0, value);
        SetWindowTextA(window, std::to_string(value).c_str());
        return;
    }
    default:
        SetWindowTextA(window, text.c_str());
        return;
    }
}

int ControlMap::Entry(Control control) const {
    if (form::KindOf(control) != ControlKind::List)
        return -1;
    const LRESULT entry = Send(Window(control), CB_GETCURSEL);
    return entry == CB_ERR ? -1 : static_cast<int>(entry);
}

void ControlMap::SetEntry(Control control, int entry) {
    if (form::KindOf(control) == ControlKind::List)
        Send(Window(control), CB_SETCURSEL, static_cast<WPARAM>(entry));
}

bool ControlMap::Checked(Control control) const {
    return form::KindOf(control) == ControlKind::CheckBox && Send(Window(control), BM_GETCHECK) == BST_CHECKED;
}

void ControlMap::SetChecked(Control control, bool checked) {
    if (form::KindOf(control) == ControlKind::CheckBox)
        Send(Window(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool ControlMap::TakeUserEdit(Control control) {
    HWND field = Window(control);
    if (form::KindOf(control) == ControlKind::List) {
        COMBOBOXINFO parts{};
        parts.cbSize = sizeof parts;
        field = GetComboBoxInfo(field, &parts) ? parts.hwndItem : nullptr;
    }
    // The edit control marks what the user types or pastes; a text set through it clears the mark.
    if (field == nullptr || Send(field, EM_GETMODIFY) == 0)
        return false;
    Send(field, EM_SETMODIFY, FALSE);
    return true;
}

void ControlMap::SetEnabled(Control control, bool enabled) {
    for (HWND window : {Window(control), Companion(control)}) {
        if (window != nullptr)
            EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

void ControlMap::SetVisible(Control control, bool visible) {
    for (HWND window : {Window(control), Companion(control)}) {
        if (window != nullptr)
            ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
    }
}

void ControlMap::SetAlert(Control control, bool alert) {
    if (Window(control) == nullptr || alert_[Index(control)] == alert)
        return;
    alert_[Index(control)] = alert;
    RedrawLabel(Window(control));
}

bool ControlMap::DrawsInAlertColour(HWND label) const {
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i] == label && alert_[i] && IsWindowEnabled(label))
            return true;
    }
    return false;
}

} // namespace zevlo::win
