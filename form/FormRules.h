#pragma once

#include "engine/Endpoints.h"

#include <string>
#include <vector>

namespace zevlo {
class Tdm;
}

namespace zevlo::form {

// The default host of the service, shown when a server field is empty.
inline constexpr const char *kDefaultServiceHost = "ddns.example.net";

// The interval list's minutes by entry (5 for no entry), and the entry for a number of
// minutes (-1: none).
int IntervalMinutes(int entry);
int IntervalEntry(int minutes);

// The port a protocol entry stands for: HTTPS 443, HTTP 8245.
std::string PortForProtocol(int entry);

// Whether a port field keeps a typed character: digits, backspace and the other control
// characters (so Ctrl+V, Enter and Tab still work). `key` is the character's code point.
bool PortKeyAccepted(char32_t key);

// "Log Max Lines": its range and step, and a shown or typed text as the stored number
// (rounded to the nearest integer, held within the range; not a number: `fallback`).
inline constexpr int kMaxLogMin = 100;
inline constexpr int kMaxLogMax = 5000;
inline constexpr int kMaxLogStep = 10;
int ClampMaxLog(int lines);
int MaxLogFromText(const std::string &text, int fallback);

// The tray icon's tip: the application's title and, below it, the state in one line, cut
// to fit the 127 bytes a Windows tip holds.
inline constexpr std::size_t kTrayTipLimit = 127;
std::string TrayTipText(const std::string &state);

// The entry of a list for a stored index; -1 when the index names none.
int EntryOrNone(const std::vector<std::string> &entries, int index);

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

} // namespace zevlo::form
