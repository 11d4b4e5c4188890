#pragma once

#include <array>
#include <string>
#include <vector>

namespace zevlo::form {

// Every control of the main window and its tray menu, by the name it has on the window.
// Shells bind each one to their own widget; the form logic never sees a widget.
enum class Control {
    // General
    cmbUpdInterval,
    chkStartWithWin,
    chkRememberPause,
    lblUser,
    edtUser,
    lblPass,
    edtPass,
    edtHostname,
    spnMaxLog,
    btnViewLog,
    lblHint,
    // Update Request
    cmbService,
    cmbProtocol,
    edtPort,
    edtServer,
    edtBaseURI,
    cmbMethod,
    cmbAuthType,
    btnForceUpdate,
    // Check IP
    lblCProtocol,
    cmbCProtocol,
    lblCPort,
    edtCPort,
    lblCServer,
    edtCServer,
    lblCBaseURI,
    edtCBaseURI,
    lblCMethod,
    cmbCMethod,
    lblCAuthType,
    cmbCAuthType,
    chkCustomIP,
    edtCustomChkIP,
    spdCOpenDir,
    // Bottom bar
    lblPaused,
    btnUnpause,
    btnSaveConfig,
    btnTerminate,
    // Tray menu
    mnuShow,
    mnuTerminate,
    mnuPause,
};

enum class ControlKind { List, CheckBox, Edit, SpinEdit, Label, Button, MenuItem };

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::mnuPause) + 1;

// Every control, in the order above.
const std::array<Control, kControlCount> &AllControls();

// "edtUser", "cmbCAuthType", ...
const char *ControlName(Control control);

// What kind of control a name stands for, from its prefix.
ControlKind KindOf(Control control);

// The first entry of cmbService: no known service, the endpoints are the user's own. The
// entries after it are the known services in their order.
inline constexpr const char *kCustomServiceEntry = "Custom";

// The entries of a list control in order; empty for any other control.
const std::vector<std::string> &ListEntries(Control control);

// True for the one list whose text the user may type (cmbAuthType).
bool IsEditableList(Control control);

// True for the fields whose handler runs at every change the user makes (edtUser, edtPass:
// their label follows what they hold); other fields' handlers run once the user leaves a
// field whose text they changed, so that a half-typed server is not acted on.
bool ActsWhileTyping(Control control);

} // namespace zevlo::form
