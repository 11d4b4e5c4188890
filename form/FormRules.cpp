#include "form/FormRules.h"

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/TextRules.h"
#include "form/Controls.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace zevlo::form {

namespace {

constexpr std::array<int, 6> kIntervalMinutes{5, 10, 15, 20, 30, 60};

std::string EntryText(Control list, int index) {
    const std::vector<std::string> &entries = ListEntries(list);
    const int entry = EntryOrNone(entries, index);
    return entry < 0 ? std::string() : entries[static_cast<std::size_t>(entry)];
}

std::string OrDefault(const std::string &value, const std::string &fallback) {
    return value.empty() ? fallback : value;
}

} // namespace

int IntervalMinutes(int entry) {
    return entry >= 0 && entry < static_cast<int>(kIntervalMinutes.size())
               ? kIntervalMinutes[static_cast<std::size_t>(entry)]
               : kIntervalMinutes[0];
}

int IntervalEntry(int minutes) {
    for (std::size_t i = 0; i < kIntervalMinutes.size(); ++i) {
        if (kIntervalMinutes[i] == minutes)
            return static_cast<int>(i);
    }
    return -1;
}

std::string PortForProtocol(int entry) {
    return entry == 1 ? "8245" : "443";
}

bool PortKeyAccepted(char32_t key) {
    return (key >= U'0' && key <= U'9') || key < 0x20 || key == 0x7f;
}

int ClampMaxLog(int lines) {
    return lines < kMaxLogMin ? kMaxLogMin : lines > kMaxLogMax ? kMaxLogMax : lines;
}

int MaxLogFromText(const std::string &text, int fallback) {
    const char *start = text.c_str();
    char *end = nullptr;
    const double value = std::strtod(start, &end);
    while (end != nullptr && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == start || end == nullptr || *end != '\0' || !std::isfinite(value))
        return fallback;
    const double rounded = std::round(value);
    if (rounded <= kMaxLogMin)
        return kMaxLogMin;
    if (rounded >= kMaxLogMax)
        return kMaxLogMax;
    return static_cast<int>(rounded);
}

std::string TrayTipText(const std::string &state) {
    const std::string title = kApplicationTitle;
    if (state.empty())
        return title;
    return title + "\n" + text::OneLogLine(state, kTrayTipLimit - title.size() - 1);
}

int EntryOrNone(const std::vector<std::string> &entries, int index) {
    return index >= 0 && index < static_cast<int>(entries.size()) ? index : -1;
}

EndpointValues EndpointFromSettings(const Tdm &dm, RequestKind kind) {
    const bool update = kind == RequestKind::Update;
    const int protocol = update ? dm.FSET_UPD_Protocol : dm.FSET_CIP_Protocol;
    EndpointValues values;
    values.protocol = EntryText(update ? Control::cmbProtocol : Control::cmbCProtocol, protocol);
    values.port = OrDefault(update ? dm.FSET_UPD_Port : dm.FSET_CIP_Port, PortForProtocol(protocol));
    values.server = OrDefault(update ? dm.FSET_UPD_Server : dm.FSET_CIP_Server, kDefaultServiceHost);
    values.baseUri = OrDefault(update ? dm.FSET_UPD_BaseURI : dm.FSET_CIP_BaseURI, update ? "/v3/update" : "/checkip");
    values.method =
        EntryText(update ? Control::cmbMethod : Control::cmbCMethod, update ? dm.FSET_UPD_Method : dm.FSET_CIP_Method);
    const Control auth = update ? Control::cmbAuthType : Control::cmbCAuthType;
    values.authIndex = EntryOrNone(ListEntries(auth), update ? dm.FSET_UPD_Auth : dm.FSET_CIP_Auth);
    values.authText = EntryText(auth, values.authIndex);
    return values;
}

EndpointValues StoredEndpoints::Endpoint(RequestKind kind) const {
    return EndpointFromSettings(dm_, kind);
}

bool StoredEndpoints::CustomScriptChecked() const {
    return dm_.FSET_CIP_CHKCUSTOM;
}

std::string StoredEndpoints::CustomScriptPath() const {
    return dm_.FSET_CIP_CUSTOMSCRIPT;
}

std::string StoredEndpoints::UserText() const {
    return dm_.FSET_User;
}

std::string StoredEndpoints::PasswordText() const {
    return DecryptPassword(dm_.FSET_Pass);
}

} // namespace zevlo::form
