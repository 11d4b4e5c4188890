#pragma once

#include <string>

namespace zevlo {

enum class RequestKind { CheckIP = 0, Update = 1 };

// One endpoint as the engine sends to it: what the settings panel shows at this moment, saved or
// not, or what the settings store (a run without a window).
struct EndpointValues {
    std::string protocol; // "HTTPS" or "HTTP"
    std::string port;
    std::string server;
    std::string baseUri;
    std::string method;   // "GET" or "POST"
    std::string authText; // the authentication box's text
    int authIndex = -1;   // its selected entry, -1 when the text matches none
};

// What the engine reads of the endpoints, the account and the custom script: the window's form
// logic answers from the live controls, StoredEndpoints from the stored settings.
class IEndpointSource {
public:
    virtual ~IEndpointSource() = default;
    virtual EndpointValues Endpoint(RequestKind kind) const = 0;
    virtual bool CustomScriptChecked() const = 0;
    virtual std::string CustomScriptPath() const = 0;
    virtual std::string UserText() const = 0;
    virtual std::string PasswordText() const = 0;
};

enum class MessageKind { Error, Warning, FileError };

// "Error", "Warning", or the application title for file errors.
const char *CaptionFor(MessageKind kind);

inline constexpr const char *kApplicationTitle = "Windows DDNS Client";

// Messages of the engine: the window's form logic shows them as modal boxes with one OK button
// through its view, the command line writes them to standard error, tests record them.
class INotifier {
public:
    virtual ~INotifier() = default;
    virtual void ShowMessage(MessageKind kind, const std::string &text) = 0;
    // The service refused an update: no update goes out until the user acts. Told before the
    // refusal's box; `reason` in a few words ("the service refused the user name or password").
    virtual void RefusalStands(const std::string &reason) { (void)reason; }
};

} // namespace zevlo
