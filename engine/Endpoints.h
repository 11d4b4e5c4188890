#pragma once

#include <string>

namespace zevlo {

enum class RequestKind { CheckIP = 0, Update = 1 };

// What the settings panel shows for one endpoint at this moment, saved or not.
struct EndpointValues {
    std::string protocol; // "HTTPS" or "HTTP"
    std::string port;
    std::string server;
    std::string baseUri;
    std::string method;   // "GET" or "POST"
    std::string authText; // the authentication box's text
    int authIndex = -1;   // its selected entry, -1 when the text matches none
};

// The live controls the engine reads; the main window implements it.
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

// Modal message boxes with one OK button; the main window shows QMessageBox, tests record.
class INotifier {
public:
    virtual ~INotifier() = default;
    virtual void ShowMessage(MessageKind kind, const std::string &text) = 0;
};

} // namespace zevlo
