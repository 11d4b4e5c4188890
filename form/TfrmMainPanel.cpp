// The settings panel of the main window: which control shows which stored setting, the
// panel's handlers, and the live controls as the engine's endpoint source.
#include "form/TfrmMain.h"

#include "crypto/Password.h"
#include "data/KnownServices.h"
#include "data/TextList.h"
#include "engine/StoredEndpoints.h"
#include "form/FormRules.h"
#include "platform/Paths.h"

namespace zevlo::form {

namespace {

// The controls that show one endpoint.
struct EndpointControls {
    RequestKind kind;
    Control protocol;
    Control port;
    Control server;
    Control baseUri;
    Control method;
    Control auth;
    // The update's list takes typed text and is read back with the panel. The check's list is
    // stored by its change handler alone: read back, a stored entry it cannot show would
    // become none.
    bool authReadBack;
};

constexpr EndpointControls kEndpointControls[] = {
    {RequestKind::Update, Control::cmbProtocol, Control::edtPort, Control::edtServer, Control::edtBaseURI,
     Control::cmbMethod, Control::cmbAuthType, true},
    {RequestKind::CheckIP, Control::cmbCProtocol, Control::edtCPort, Control::edtCServer, Control::edtCBaseURI,
     Control::cmbCMethod, Control::cmbCAuthType, false},
};

const EndpointControls &ControlsOf(RequestKind kind) {
    return kEndpointControls[kind == RequestKind::Update ? 0 : 1];
}

// What a service's row gives one endpoint control: the entry of a list, the text of a field.
struct RowValue {
    bool found = false;
    int entry = -1;
    const char *text = nullptr;
};

RowValue RowValueOf(const KnownService &service, Control control) {
    for (const EndpointControls &endpoint : kEndpointControls) {
        const ServiceEndpoint &row = service.*StoredFields(endpoint.kind).service;
        if (control == endpoint.protocol)
            return {true, row.protocol};
        if (control == endpoint.method)
            return {true, row.method};
        if (control == endpoint.auth)
            return {true, row.auth};
        if (control == endpoint.port)
            return {true, -1, row.port};
        if (control == endpoint.server)
            return {true, -1, row.server};
        if (control == endpoint.baseUri)
            return {true, -1, row.baseUri};
    }
    return {};
}

// The list entry that shows a stored service id: "Custom" for none.
int ServiceEntry(const std::string &id) {
    const KnownService *service = FindKnownService(id);
    return service == nullptr ? 0 : static_cast<int>(service - KnownServices().data()) + 1;
}

// The controls of the check-IP endpoint that the custom script replaces.
constexpr Control kCheckIPRequestControls[] = {
    Control::lblCProtocol, Control::lblCPort,     Control::lblCServer,   Control::lblCBaseURI,
    Control::lblCMethod,   Control::lblCAuthType, Control::cmbCProtocol, Control::cmbCMethod,
    Control::cmbCAuthType, Control::edtCPort,     Control::edtCServer,   Control::edtCBaseURI,
};

// True when a window whose top left corner stands at `topLeft` can be reached on a screen:
// its title bar, not only its corner, must be there to be grabbed.
bool ReachableOnSomeScreen(Point topLeft, const std::vector<Rect> &screens) {
    const Point titleBar{topLeft.x + 16, topLeft.y + 8};
    for (const Rect &screen : screens) {
        if (screen.Contains(titleBar))
            return true;
    }
    return false;
}

} // namespace

void TfrmMain::SetCheckedWithClick(Control box, bool checked) {
    if (view_.Checked(box) == checked)
        return;
    view_.SetChecked(box, checked);
    UserActed(box);
}

void TfrmMain::SelectEntry(Control list, int index) {
    view_.SetEntry(list, EntryOrNone(ListEntries(list), index));
}

int TfrmMain::ShownEntry(Control list) const {
    if (!IsEditableList(list))
        return view_.Entry(list);
    const std::string text = view_.Text(list);
    const std::vector<std::string> &entries = ListEntries(list);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (SameIgnoringAsciiCase(entries[i], text))
            return static_cast<int>(i);
    }
    return -1;
}

void TfrmMain::ApplySettingsToForm() {
    if (dm_->FSET_FrmX > 0 || dm_->FSET_FrmY > 0) {
        Point place = view_.Position();
        if (dm_->FSET_FrmX > 0)
            place.x = dm_->FSET_FrmX;
        if (dm_->FSET_FrmY > 0)
            place.y = dm_->FSET_FrmY;
        // A place left from a screen that is gone would hide the window for good.
        if (ReachableOnSomeScreen(place, view_.ScreenAreas()))
            view_.MoveTo(place);
    }
    view_.SetText(Control::spnMaxLog, std::to_string(ClampMaxLog(dm_->FMaxLog)));
    view_.SetText(Control::edtUser, dm_->FSET_User);
    view_.SetText(Control::edtPass, DecryptPassword(dm_->FSET_Pass));
    view_.SetText(Control::edtHostname, dm_->FSET_Hostname.empty() ? "-" : dm_->FSET_Hostname);

    view_.SetEntry(Control::cmbService, ServiceEntry(dm_->FSET_UPD_Service));
    ShowStoredEndpoints();

    view_.SetText(Control::edtCustomChkIP, dm_->FSET_CIP_CUSTOMSCRIPT);
    SetCheckedWithClick(Control::chkCustomIP, dm_->FSET_CIP_CHKCUSTOM);
    UpdateCheckIPControls();

    ShowPausedState();
    SetCheckedWithClick(Control::chkRememberPause, dm_->FSET_RememberPaused);
    view_.SetVisible(Control::lblHint, dm_->FSET_FirstRun);
}

void TfrmMain::ShowStoredEndpoints() {
    for (const EndpointControls &endpoint : kEndpointControls) {
        const StoredEndpointFields &stored = StoredFields(endpoint.kind);
        const EndpointValues shown = EndpointFromSettings(*dm_, endpoint.kind);
        SelectEntry(endpoint.protocol, (*dm_).*stored.protocol);
        SelectEntry(endpoint.method, (*dm_).*stored.method);
        SelectEntry(endpoint.auth, (*dm_).*stored.auth);
        view_.SetText(endpoint.port, shown.port);
        view_.SetText(endpoint.server, shown.server);
        view_.SetText(endpoint.baseUri, shown.baseUri);
    }
}

void TfrmMain::ReadSettingsFromForm() {
    for (const EndpointControls &endpoint : kEndpointControls) {
        const StoredEndpointFields &stored = StoredFields(endpoint.kind);
        (*dm_).*stored.protocol = view_.Entry(endpoint.protocol);
        (*dm_).*stored.port = view_.Text(endpoint.port);
        (*dm_).*stored.server = view_.Text(endpoint.server);
        (*dm_).*stored.baseUri = view_.Text(endpoint.baseUri);
        (*dm_).*stored.method = view_.Entry(endpoint.method);
        if (endpoint.authReadBack)
            (*dm_).*stored.auth = ShownEntry(endpoint.auth);
    }
    TakeAccountFromFields();
    dm_->FSET_CIP_CUSTOMSCRIPT = view_.Text(Control::edtCustomChkIP);
    dm_->FSET_CIP_CHKCUSTOM = view_.Checked(Control::chkCustomIP);
    StorePosition();
    dm_->FMaxLog = MaxLogFromText(view_.Text(Control::spnMaxLog), ClampMaxLog(dm_->FMaxLog));
}

void TfrmMain::TakeAccountFromFields() {
    dm_->FSET_User = view_.Text(Control::edtUser);
    dm_->FSET_Pass = EncryptPassword(view_.Text(Control::edtPass));
    dm_->FSET_Hostname = view_.Text(Control::edtHostname);
}

void TfrmMain::StorePosition() {
    const Point place = view_.Position();
    dm_->FSET_FrmX = place.x;
    dm_->FSET_FrmY = place.y;
}

void TfrmMain::UpdateCheckIPControls() {
    const bool endpointUsed = !view_.Checked(Control::chkCustomIP);
    for (const Control control : kCheckIPRequestControls)
        view_.SetEnabled(control, endpointUsed);
    view_.SetEnabled(Control::edtCustomChkIP, !endpointUsed);
}

EndpointValues TfrmMain::Endpoint(RequestKind kind) const {
    const EndpointControls &endpoint = ControlsOf(kind);
    EndpointValues values;
    values.protocol = view_.Text(endpoint.protocol);
    values.port = view_.Text(endpoint.port);
    values.server = view_.Text(endpoint.server);
    values.baseUri = view_.Text(endpoint.baseUri);
    values.method = view_.Text(endpoint.method);
    values.authText = view_.Text(endpoint.auth);
    values.authIndex = ShownEntry(endpoint.auth);
    return values;
}

bool TfrmMain::CustomScriptChecked() const {
    return view_.Checked(Control::chkCustomIP);
}

std::string TfrmMain::CustomScriptPath() const {
    return view_.Text(Control::edtCustomChkIP);
}

std::string TfrmMain::UserText() const {
    return view_.Text(Control::edtUser);
}

std::string TfrmMain::PasswordText() const {
    return view_.Text(Control::edtPass);
}

bool TfrmMain::edtPortKeyPress(char32_t key) const {
    return PortKeyAccepted(key);
}

const KnownService *TfrmMain::ShownService() const {
    const int entry = view_.Entry(Control::cmbService);
    const std::span<const KnownService> services = KnownServices();
    return entry >= 1 && entry <= static_cast<int>(services.size()) ? &services[static_cast<std::size_t>(entry - 1)]
                                                                    : nullptr;
}

void TfrmMain::ProtocolChosen(RequestKind kind) {
    const EndpointControls &endpoint = ControlsOf(kind);
    const int entry = view_.Entry(endpoint.protocol);
    // The service's own protocol comes with the service's port, which need not be the usual one.
    const KnownService *service = ShownService();
    const RowValue row = service != nullptr ? RowValueOf(*service, endpoint.protocol) : RowValue{};
    view_.SetText(endpoint.port,
                  row.found && row.entry == entry ? RowValueOf(*service, endpoint.port).text : PortForProtocol(entry));
    (*dm_).*StoredFields(kind).protocol = entry;
    EndpointFieldEdited(endpoint.protocol);
}

void TfrmMain::cmbServiceChange() {
    const KnownService *service = ShownService();
    // "Custom" leaves every field as it is: the user's own endpoints start from them.
    if (service == nullptr) {
        dm_->FSET_UPD_Service.clear();
        return;
    }
    ApplyService(*service, *dm_);
    dm_->FSET_UPD_Service = service->id;
    ShowStoredEndpoints();
    SetCheckedWithClick(Control::chkCustomIP, false);
}

void TfrmMain::EndpointFieldEdited(Control field) {
    const KnownService *service = ShownService();
    const RowValue row = service != nullptr ? RowValueOf(*service, field) : RowValue{};
    if (!row.found)
        return;
    bool same = false;
    if (row.text == nullptr) {
        same = ShownEntry(field) == row.entry;
    } else {
        const std::string text = view_.Text(field);
        // An emptied field means "the service's value", as an empty key in the file does.
        if (text.empty())
            view_.SetText(field, row.text);
        same = text.empty() || text == row.text;
    }
    if (!same) {
        view_.SetEntry(Control::cmbService, 0);
        dm_->FSET_UPD_Service.clear();
    }
}

void TfrmMain::cmbProtocolChange() {
    ProtocolChosen(RequestKind::Update);
}

void TfrmMain::cmbCProtocolChange() {
    ProtocolChosen(RequestKind::CheckIP);
}

void TfrmMain::cmbCAuthTypeChange() {
    dm_->FSET_CIP_Auth = view_.Entry(Control::cmbCAuthType);
    EndpointFieldEdited(Control::cmbCAuthType);
}

void TfrmMain::chkCustomIPClick() {
    UpdateCheckIPControls();
}

void TfrmMain::spdCOpenDirClick() {
    const std::string pattern = platform::AllFilesPattern();
    std::string path;
    WithChecksHeld([&] {
        path = view_.ChooseFileToOpen(view_.Text(Control::edtCustomChkIP), {"All files(" + pattern + ")", pattern});
    });
    if (!path.empty())
        view_.SetText(Control::edtCustomChkIP, path);
}

void TfrmMain::chkStartWithWinClick() {
    const bool checked = view_.Checked(Control::chkStartWithWin);
    dm_->FSET_StartWithWindows = checked;
    // Failures are not reported: the setting itself is kept either way.
    if (checked)
        services_.autostart->Write(services_.executablePath);
    else
        services_.autostart->Remove();
}

void TfrmMain::cmbUpdIntervalChange() {
    // The running timer keeps its period; the new interval applies from the next start.
    dm_->FSET_Interval = IntervalMinutes(view_.Entry(Control::cmbUpdInterval));
}

void TfrmMain::ShowFieldFilled(Control field, Control label) {
    if (!view_.Text(field).empty())
        view_.SetAlert(label, false);
}

void TfrmMain::edtUserChange() {
    ShowFieldFilled(Control::edtUser, Control::lblUser);
}

void TfrmMain::edtPassChange() {
    ShowFieldFilled(Control::edtPass, Control::lblPass);
}

void TfrmMain::chkRememberPauseClick() {
    dm_->FSET_RememberPaused = view_.Checked(Control::chkRememberPause);
}

} // namespace zevlo::form
