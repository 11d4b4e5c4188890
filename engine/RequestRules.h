#pragma once

#include "engine/Endpoints.h"

#include <cstddef>
#include <string>

// What may go into a request's URL, checked before it is built: the window filters keys,
// Settings.ini does not, and a "1@host:port" port or a "/update#" base URI once sent the
// account to another host or turned the query into a fragment.
namespace zevlo {

// A host name field: at most this many bytes a name (DNS's bound) and in all.
inline constexpr std::size_t kHostnameMaxBytes = 253;
inline constexpr std::size_t kHostnameFieldMaxBytes = 4096;

// The error text for the first field of the endpoint that cannot go into a URL, naming it
// ("ERROR - Invalid port [1@127.0.0.2:80]"); empty when every field can. Port: digits, 1 to
// 65535. Server: a host name (letters, digits, "-", ".", "_", bytes above 127) or an IP
// literal, IPv6 in brackets. Base URI: "/" first, no "#", "?", blank or control byte. Method:
// GET or POST.
std::string InvalidEndpointField(const EndpointValues &endpoint);

// The error text for a host name field that is too long; empty when it is not. Names are
// separated by commas.
std::string InvalidHostname(const std::string &hostname);

} // namespace zevlo
