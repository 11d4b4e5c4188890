#pragma once

#include "engine/Endpoints.h"

#include <chrono>
#include <optional>
#include <string>

// What the program remembers of the service's answers to its updates, in Settings.ini:
//   FSET_UPD_Refusal      a refusal (badauth, nohost, ...) with a fingerprint of what it was
//                         given for; no update is sent while it stands for these settings
//   FSET_UPD_WaitUntil    the end of the wait after the service's trouble (911, dnserr, 5xx)
//   FSET_UPD_LastAnswered the last update the service took (good) or kept (nochg)
//   FSET_UPD_AnsweredFor  the host name and update endpoint that update was sent for
// A file without them behaves as before: nothing stands, nothing is resent.
namespace zevlo {

// The dyndns2 rules: no update "without user intervention" after a refusal, at least 30
// minutes after 911 or dnserr; the peers refresh a host name every 25 to 30 days, before a
// service drops it for idleness.
inline constexpr std::chrono::minutes kTroubleWait{30};
inline constexpr std::chrono::hours kRefreshAfter{25 * 24};

struct RefusalRecord {
    std::chrono::sys_seconds at{};
    std::string fingerprint;
    std::string answer; // as logged without its meaning: "badauth", "HTTP 401 Unauthorized"
};

// "<seconds since 1970> <fingerprint> <answer>" in one line; none for an empty or broken text.
std::optional<RefusalRecord> ParseRefusal(const std::string &stored);
std::string FormatRefusal(const RefusalRecord &record);

// What a refusal was given for: user, password, host name and the update endpoint (protocol,
// port, server, base URI, method, authentication). A SHA-1 of the fields, each preceded by its
// length so that no two sets of fields run together alike; hex. It holds no more of the
// password than the scrambled FSET_Pass beside it, and any change of a field changes it.
std::string AccountFingerprint(const std::string &user, const std::string &password, const std::string &hostname,
                               const EndpointValues &update);
// What an answered update was sent for: the host name and the update endpoint (a change of the
// password alone does not make the service's record of the address wrong).
std::string TargetFingerprint(const std::string &hostname, const EndpointValues &update);

// FSET_UPD_AnsweredFor after the user acted on a refusal: matches no fingerprint, so the next
// cycle sends the current address once.
inline constexpr const char *kResendMark = "resend";

} // namespace zevlo
