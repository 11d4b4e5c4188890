#include "engine/RequestRules.h"

#include "engine/TextRules.h"

namespace zevlo {

namespace {

// The value as an error message shows it: one line, at most 64 bytes.
std::string Shown(const std::string &value) {
    return text::FirstLine(value, 64);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool ValidPort(const std::string &port) {
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (const char c : port) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool HostNameByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(static_cast<char>(c)) || c == '-' || c == '.' ||
           c == '_' || c > 127;
}

bool ValidServer(const std::string &server) {
    if (server.size() > 2 && server.front() == '[' && server.back() == ']')
        return text::IsIpv6Address(std::string_view(server).substr(1, server.size() - 2));
    if (server.empty() || server.size() > kHostnameMaxBytes)
        return false;
    for (const char c : server)
        if (!HostNameByte(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool ValidBaseUri(const std::string &baseUri) {
    if (baseUri.empty() || baseUri.front() != '/')
        return false;
    for (const char ch : baseUri) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7F || c == '#' || c == '?')
            return false;
    }
    return true;
}

} // namespace

std::string InvalidEndpointField(const EndpointValues &endpoint) {
    if (!ValidPort(endpoint.port))
        return "ERROR - Invalid port [" + Shown(endpoint.port) + "]";
    if (!ValidServer(endpoint.server))
        return "ERROR - Invalid server [" + Shown(endpoint.server) + "]";
    if (!ValidBaseUri(endpoint.baseUri))
        return "ERROR - Invalid base URI [" + Shown(endpoint.baseUri) + "]";
    if (endpoint.method != "GET" && endpoint.method != "POST")
        return "ERROR - Invalid method [" + Shown(endpoint.method) + "]";
    return {};
}

std::string InvalidHostname(const std::string &hostname) {
    bool tooLong = hostname.size() > kHostnameFieldMaxBytes;
    for (std::size_t start = 0; !tooLong && start <= hostname.size();) {
        std::size_t end = hostname.find(',', start);
        if (end == std::string::npos)
            end = hostname.size();
        tooLong = end - start > kHostnameMaxBytes;
        start = end + 1;
    }
    if (!tooLong)
        return {};
    return "ERROR - Host name too long [" + Shown(hostname) + "...] (at most " + std::to_string(kHostnameMaxBytes) +
           " bytes a name, " + std::to_string(kHostnameFieldMaxBytes) + " in all)";
}

} // namespace zevlo
