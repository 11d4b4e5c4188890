#include "engine/StoredEndpoints.h"

#include "crypto/Password.h"
#include "data/Tdm.h"

namespace zevlo {

namespace {

std::string OrDefault(const std::string &value, const std::string &fallback) {
    return value.empty() ? fallback : value;
}

} // namespace

std::string PortForProtocol(int entry) {
    return entry == kHttpEntry ? "8245" : "443";
}

const char *DefaultBaseUri(RequestKind kind) {
    return kind == RequestKind::Update ? "/v3/update" : "/checkip";
}

const StoredEndpointFields &StoredFields(RequestKind kind) {
    return kind == RequestKind::Update ? StoredUpdateFields() : StoredCheckFields();
}

EndpointValues EndpointFromSettings(const Tdm &dm, RequestKind kind) {
    const StoredEndpointFields &fields = StoredFields(kind);
    const int protocol = dm.*fields.protocol;
    EndpointValues values;
    values.protocol = EntryText(StoredList::Protocol, protocol);
    values.port = OrDefault(dm.*fields.port, PortForProtocol(protocol));
    values.server = OrDefault(dm.*fields.server, kDefaultServiceHost);
    values.baseUri = OrDefault(dm.*fields.baseUri, DefaultBaseUri(kind));
    values.method = EntryText(StoredList::Method, dm.*fields.method);
    values.authIndex = EntryOrNone(Entries(fields.authList), dm.*fields.auth);
    values.authText = EntryText(fields.authList, values.authIndex);
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

} // namespace zevlo
