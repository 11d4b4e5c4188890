#include "data/KnownServices.h"

#include "data/Tdm.h"
#include "data/TextList.h"

namespace zevlo {

namespace {

constexpr std::int32_t kHttps = 0;
constexpr std::int32_t kHttp = kHttpEntry;
constexpr std::int32_t kGet = 0;
constexpr std::int32_t kUpdateBasic = 0;
constexpr std::int32_t kCheckNone = 0;

// Every service takes its update over HTTPS with Basic authentication.
constexpr ServiceEndpoint Update(const char *server, const char *baseUri) {
    return {kHttps, "443", server, baseUri, kGet, kUpdateBasic};
}

// The check on the protocol's standard port, without credentials.
constexpr ServiceEndpoint Check(std::int32_t protocol, const char *server, const char *baseUri) {
    return {protocol, protocol == kHttp ? "80" : "443", server, baseUri, kGet, kCheckNone};
}

// As the services publish their endpoints. A correction here reaches every user whose
// fields follow the row: the store saves those fields empty.
constexpr KnownService kServices[] = {
    {"dyn", "Dyn", Update("members.dyndns.org", "/nic/update"), Check(kHttp, "checkip.dyndns.com", "/")},
    {"noip", "No-IP", Update("dynupdate.no-ip.com", "/nic/update"), Check(kHttp, "ip1.dynupdate.no-ip.com", "/")},
    {"dnsomatic", "DNS-O-Matic", Update("updates.dnsomatic.com", "/nic/update"),
     Check(kHttp, "myip.dnsomatic.com", "/")},
    {"he", "Hurricane Electric (dns.he.net)", Update("dyn.dns.he.net", "/nic/update"),
     Check(kHttp, "checkip.dns.he.net", "/")},
    {"nsupdate", "nsupdate.info (IPv4)", Update("ipv4.nsupdate.info", "/nic/update"),
     Check(kHttps, "ipv4.nsupdate.info", "/myip")},
    {"selfhost", "selfHOST", Update("carol.selfhost.de", "/nic/update"), Check(kHttp, "checkip.dyndns.com", "/")},
    {"spdyn", "SPDYN", Update("update.spdyn.de", "/nic/update"), Check(kHttp, "checkip4.spdyn.de", "/")},
    {"changeip", "ChangeIP", Update("nic.changeip.com", "/nic/update"), Check(kHttp, "checkip.dyndns.com", "/")},
    {"strato", "STRATO", Update("dyndns.strato.com", "/nic/update"), Check(kHttp, "checkip.dyndns.com", "/")},
    {"loopia", "Loopia", Update("dns.loopia.se", "/XDynDNSServer/XDynDNS.php"),
     Check(kHttp, "dns.loopia.se", "/checkip/checkip.php")},
    {"3322", "3322.org", Update("members.3322.org", "/dyndns/update"), Check(kHttp, "ip.3322.net", "/")},
};

const StoredEndpointFields kUpdateFields{&Tdm::FSET_UPD_Protocol, &Tdm::FSET_UPD_Port,   &Tdm::FSET_UPD_Server,
                                         &Tdm::FSET_UPD_BaseURI,  &Tdm::FSET_UPD_Method, &Tdm::FSET_UPD_Auth,
                                         StoredList::UpdateAuth,  &KnownService::update};
const StoredEndpointFields kCheckFields{&Tdm::FSET_CIP_Protocol, &Tdm::FSET_CIP_Port,   &Tdm::FSET_CIP_Server,
                                        &Tdm::FSET_CIP_BaseURI,  &Tdm::FSET_CIP_Method, &Tdm::FSET_CIP_Auth,
                                        StoredList::CheckAuth,   &KnownService::check};
const StoredEndpointFields *const kBothEndpoints[] = {&kUpdateFields, &kCheckFields};

SettingValue Number(std::int32_t number) {
    SettingValue value;
    value.number = number;
    return value;
}

SettingValue Text(const char *text) {
    SettingValue value;
    value.text = text;
    return value;
}

} // namespace

const StoredEndpointFields &StoredUpdateFields() {
    return kUpdateFields;
}

const StoredEndpointFields &StoredCheckFields() {
    return kCheckFields;
}

std::span<const KnownService> KnownServices() {
    return kServices;
}

const KnownService *FindKnownService(const std::string &id) {
    if (id.empty())
        return nullptr;
    for (const KnownService &service : kServices)
        if (SameIgnoringAsciiCase(id, service.id))
            return &service;
    return nullptr;
}

std::optional<SettingValue> ServiceValue(const KnownService &service, const Setting &setting) {
    for (const StoredEndpointFields *fields : kBothEndpoints) {
        const ServiceEndpoint &endpoint = service.*fields->service;
        if (setting.integer != nullptr) {
            if (setting.integer == fields->protocol)
                return Number(endpoint.protocol);
            if (setting.integer == fields->method)
                return Number(endpoint.method);
            if (setting.integer == fields->auth)
                return Number(endpoint.auth);
        } else if (setting.text != nullptr) {
            if (setting.text == fields->port)
                return Text(endpoint.port);
            if (setting.text == fields->server)
                return Text(endpoint.server);
            if (setting.text == fields->baseUri)
                return Text(endpoint.baseUri);
        }
    }
    return std::nullopt;
}

void ApplyService(const KnownService &service, Tdm &dm) {
    for (const Setting &setting : SettingsSchema())
        if (const std::optional<SettingValue> value = ServiceValue(service, setting))
            SetSettingValue(setting, dm, *value);
    dm.FSET_CIP_CHKCUSTOM = false;
}

std::string UnknownServiceText(const Tdm &dm) {
    if (dm.FSET_UPD_Service.empty() || FindKnownService(dm.FSET_UPD_Service) != nullptr)
        return {};
    return std::string(SettingKey(&Tdm::FSET_UPD_Service)) + "=" + dm.FSET_UPD_Service + " in \"" + dm.SettingsFile +
           "\" names no known service";
}

} // namespace zevlo
