#include "form/Controls.h"

#include "data/KnownServices.h"
#include "data/StoredLists.h"

namespace zevlo::form {

namespace {

constexpr std::array<const char *, kControlCount> kNames{
    "cmbUpdInterval", "chkStartWithWin", "chkRememberPause", "lblUser",      "edtUser",    "lblPass",
    "edtPass",        "edtHostname",     "spnMaxLog",        "btnViewLog",   "lblHint",    "cmbService",
    "cmbProtocol",    "edtPort",         "edtServer",        "edtBaseURI",   "cmbMethod",  "cmbAuthType",
    "btnForceUpdate", "lblCProtocol",    "cmbCProtocol",     "lblCPort",     "edtCPort",   "lblCServer",
    "edtCServer",     "lblCBaseURI",     "edtCBaseURI",      "lblCMethod",   "cmbCMethod", "lblCAuthType",
    "cmbCAuthType",   "chkCustomIP",     "edtCustomChkIP",   "spdCOpenDir",  "lblPaused",  "btnUnpause",
    "btnSaveConfig",  "btnTerminate",    "mnuShow",          "mnuTerminate", "mnuPause",
};

// "Custom" (the user's own endpoints), then every known service by name.
std::vector<std::string> ServiceEntries() {
    std::vector<std::string> entries{kCustomServiceEntry};
    for (const KnownService &service : KnownServices())
        entries.emplace_back(service.name);
    return entries;
}

std::array<Control, kControlCount> MakeAll() {
    std::array<Control, kControlCount> all{};
    for (std::size_t i = 0; i < kControlCount; ++i)
        all[i] = static_cast<Control>(i);
    return all;
}

} // namespace

const std::array<Control, kControlCount> &AllControls() {
    static const std::array<Control, kControlCount> all = MakeAll();
    return all;
}

const char *ControlName(Control control) {
    return kNames[static_cast<std::size_t>(control)];
}

ControlKind KindOf(Control control) {
    const std::string name = ControlName(control);
    const std::string prefix = name.substr(0, 3);
    if (prefix == "cmb")
        return ControlKind::List;
    if (prefix == "chk")
        return ControlKind::CheckBox;
    if (prefix == "edt")
        return ControlKind::Edit;
    if (prefix == "spn")
        return ControlKind::SpinEdit;
    if (prefix == "lbl")
        return ControlKind::Label;
    if (prefix == "mnu")
        return ControlKind::MenuItem;
    return ControlKind::Button; // btn, spd
}

const std::vector<std::string> &ListEntries(Control control) {
    static const std::vector<std::string> intervals{"5 min", "10 min", "15 min", "20 min", "30 min", "60 min"};
    static const std::vector<std::string> services = ServiceEntries();
    static const std::vector<std::string> none;
    switch (control) {
    case Control::cmbUpdInterval:
        return intervals;
    case Control::cmbService:
        return services;
    case Control::cmbProtocol:
    case Control::cmbCProtocol:
        return Entries(StoredList::Protocol);
    case Control::cmbMethod:
    case Control::cmbCMethod:
        return Entries(StoredList::Method);
    case Control::cmbAuthType:
        return Entries(StoredList::UpdateAuth);
    case Control::cmbCAuthType:
        return Entries(StoredList::CheckAuth);
    default:
        return none;
    }
}

bool IsEditableList(Control control) {
    return control == Control::cmbAuthType;
}

bool ActsWhileTyping(Control control) {
    return control == Control::edtUser || control == Control::edtPass;
}

} // namespace zevlo::form
