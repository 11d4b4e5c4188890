#include "engine/UpdateState.h"

#include "crypto/CryptoBackend.h"
#include "engine/TextRules.h"

#include <cstdint>
#include <initializer_list>
#include <span>

namespace zevlo {

namespace {

std::string Fingerprint(std::initializer_list<std::string> fields) {
    std::string joined;
    for (const std::string &field : fields)
        joined += std::to_string(field.size()) + ":" + field + ";";
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t *>(joined.data()), joined.size());
    const crypto::Sha1Digest digest = crypto::Sha1(bytes);
    crypto::SecureWipe(joined.data(), joined.size());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0xF];
    }
    return hex;
}

} // namespace

std::optional<RefusalRecord> ParseRefusal(const std::string &stored) {
    const std::size_t first = stored.find(' ');
    const std::size_t second = first == std::string::npos ? first : stored.find(' ', first + 1);
    if (second == std::string::npos || second + 1 >= stored.size())
        return std::nullopt;
    std::int64_t seconds = 0;
    for (std::size_t i = 0; i < first; ++i) {
        if (stored[i] < '0' || stored[i] > '9' || i > 18)
            return std::nullopt;
        seconds = seconds * 10 + (stored[i] - '0');
    }
    if (first == 0)
        return std::nullopt;
    return RefusalRecord{std::chrono::sys_seconds(std::chrono::seconds(seconds)),
                         stored.substr(first + 1, second - first - 1), stored.substr(second + 1)};
}

std::string FormatRefusal(const RefusalRecord &record) {
    return std::to_string(record.at.time_since_epoch().count()) + " " + record.fingerprint + " " +
           text::OneLogLine(record.answer);
}

std::string AccountFingerprint(const std::string &user, const std::string &password, const std::string &hostname,
                               const EndpointValues &update) {
    return Fingerprint({user, password, hostname, text::LowerAscii(update.protocol), update.port, update.server,
                        update.baseUri, update.method, text::LowerAscii(update.authText)});
}

std::string TargetFingerprint(const std::string &hostname, const EndpointValues &update) {
    return Fingerprint({hostname, text::LowerAscii(update.protocol), update.port, update.server, update.baseUri,
                        update.method, text::LowerAscii(update.authText)});
}

} // namespace zevlo
