#pragma once

#include "data/KnownServices.h"
#include "data/StoredLists.h"
#include "engine/Endpoints.h"

#include <cstdint>
#include <string>

namespace zevlo {

class Tdm;

// The default host of the service, shown when a server field is empty.
inline constexpr const char *kDefaultServiceHost = "ddns.example.net";

// The port a protocol entry stands for: HTTPS 443, HTTP 8245.
std::string PortForProtocol(int entry);

// The usual path of an endpoint, shown when its base URI is empty.
const char *DefaultBaseUri(RequestKind kind);

// Where the stored settings keep one endpoint.
const StoredEndpointFields &StoredFields(RequestKind kind);

// One endpoint of the stored settings as the window shows it when it starts: an empty port
// shows the protocol's port, an empty server the default host, an empty base URI the
// endpoint's usual path; list entries by their stored index.
EndpointValues EndpointFromSettings(const Tdm &dm, RequestKind kind);

// The stored settings as the engine's endpoint source, for a run without a window.
class StoredEndpoints final : public IEndpointSource {
public:
    explicit StoredEndpoints(const Tdm &dm) : dm_(dm) {}
    EndpointValues Endpoint(RequestKind kind) const override;
    bool CustomScriptChecked() const override;
    std::string CustomScriptPath() const override;
    std::string UserText() const override;
    std::string PasswordText() const override;

private:
    const Tdm &dm_;
};

} // namespace zevlo
