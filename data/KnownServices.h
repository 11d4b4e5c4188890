#pragma once

#include "data/SettingsSchema.h"
#include "data/StoredLists.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zevlo {

class Tdm;

// One endpoint of a known service as Settings.ini stores it: list entries by index.
struct ServiceEndpoint {
    std::int32_t protocol; // StoredList::Protocol
    const char *port;
    const char *server;
    const char *baseUri;
    std::int32_t method; // StoredList::Method
    std::int32_t auth;   // the endpoint's authentication list
};

// A dyndns2 service: the update over HTTPS with Basic authentication, the check without
// credentials (its page may belong to someone the account is not meant for).
struct KnownService {
    const char *id;   // what FSET_UPD_Service stores
    const char *name; // what the list shows
    ServiceEndpoint update;
    ServiceEndpoint check;
};

// Where the stored settings keep one endpoint, the list its authentication index stands
// in, and the endpoint of a service row that fills it.
struct StoredEndpointFields {
    std::int32_t Tdm::*protocol;
    std::string Tdm::*port;
    std::string Tdm::*server;
    std::string Tdm::*baseUri;
    std::int32_t Tdm::*method;
    std::int32_t Tdm::*auth;
    StoredList authList;
    ServiceEndpoint KnownService::*service;
};
const StoredEndpointFields &StoredUpdateFields();
const StoredEndpointFields &StoredCheckFields();

// Every known service, in the order the list shows them.
std::span<const KnownService> KnownServices();

// The service a stored id names (ASCII case ignored); null for the empty id (the user's own
// endpoints) and for an id no row has.
const KnownService *FindKnownService(const std::string &id);

// The value the service gives a setting of its endpoints, as the file's text would give it;
// none for a setting outside the endpoints. The store fills a key the file leaves empty with
// it and saves a field holding it empty, so that a corrected row reaches every user who
// follows the service.
std::optional<SettingValue> ServiceValue(const KnownService &service, const Setting &setting);

// Every endpoint field of the store to the service's values; the custom script is off.
void ApplyService(const KnownService &service, Tdm &dm);

// Says that the store names a service no row has (a newer version's id, a typing slip): the
// endpoint keys the file leaves empty then took no service's values, and requests would go to
// the default host with the account. Empty for the empty id and a known one.
std::string UnknownServiceText(const Tdm &dm);

} // namespace zevlo
