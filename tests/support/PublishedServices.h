#pragma once

// The dyndns2 services' endpoints as the services publish them: the known answers for the
// program's own list, written out as the URLs a request goes to (without its query).

namespace zevlo::test {

struct PublishedService {
    const char *id;
    const char *name;
    const char *updateUrl;
    const char *checkUrl;
};

inline constexpr PublishedService kPublishedServices[] = {
    {"dyn", "Dyn", "https://members.dyndns.org:443/nic/update", "http://checkip.dyndns.com:80/"},
    {"noip", "No-IP", "https://dynupdate.no-ip.com:443/nic/update", "http://ip1.dynupdate.no-ip.com:80/"},
    {"dnsomatic", "DNS-O-Matic", "https://updates.dnsomatic.com:443/nic/update", "http://myip.dnsomatic.com:80/"},
    {"he", "Hurricane Electric (dns.he.net)", "https://dyn.dns.he.net:443/nic/update", "http://checkip.dns.he.net:80/"},
    {"nsupdate", "nsupdate.info (IPv4)", "https://ipv4.nsupdate.info:443/nic/update",
     "https://ipv4.nsupdate.info:443/myip"},
    {"selfhost", "selfHOST", "https://carol.selfhost.de:443/nic/update", "http://checkip.dyndns.com:80/"},
    {"spdyn", "SPDYN", "https://update.spdyn.de:443/nic/update", "http://checkip4.spdyn.de:80/"},
    {"changeip", "ChangeIP", "https://nic.changeip.com:443/nic/update", "http://checkip.dyndns.com:80/"},
    {"strato", "STRATO", "https://dyndns.strato.com:443/nic/update", "http://checkip.dyndns.com:80/"},
    {"loopia", "Loopia", "https://dns.loopia.se:443/XDynDNSServer/XDynDNS.php",
     "http://dns.loopia.se:80/checkip/checkip.php"},
    {"3322", "3322.org", "https://members.3322.org:443/dyndns/update", "http://ip.3322.net:80/"},
};

} // namespace zevlo::test
