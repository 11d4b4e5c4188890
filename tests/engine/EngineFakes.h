#pragma once

// Seams of the engine for tests: the panel's values and a notifier that records the boxes
// instead of showing them.

#include "engine/Endpoints.h"

#include <functional>
#include <string>
#include <vector>

namespace zevlo::fakes {

inline std::string AgentFor(const std::string &user) {
    return "Zevlo - Windows DDNS Client by Tarvenic [" + user + "] - v3.0";
}

struct FakeEndpoints final : IEndpointSource {
    EndpointValues check{"HTTPS", "443", "SERVER", "/checkip", "GET", "None", 0};
    EndpointValues update{"HTTPS", "443", "SERVER", "/v3/update", "GET", "Basic", 0};
    bool customScript = false;
    std::string scriptPath;
    std::string userText = "alice";
    std::string passwordText = "secret";

    EndpointValues Endpoint(RequestKind kind) const override { return kind == RequestKind::CheckIP ? check : update; }
    bool CustomScriptChecked() const override { return customScript; }
    std::string CustomScriptPath() const override { return scriptPath; }
    std::string UserText() const override { return userText; }
    std::string PasswordText() const override { return passwordText; }
};

struct ShownMessage {
    MessageKind kind;
    std::string text;
    bool operator==(const ShownMessage &) const = default;
};

class RecordingNotifier final : public INotifier {
public:
    std::vector<ShownMessage> shown;
    // Runs while the "box" is open, as the nested event loop of a real box would.
    std::function<void()> whileOpen;

    void ShowMessage(MessageKind kind, const std::string &text) override {
        shown.push_back({kind, text});
        if (whileOpen)
            whileOpen();
    }

    struct Refusal {
        std::string reason;
        std::size_t boxesBefore; // how many boxes had been shown when it was told
        bool operator==(const Refusal &) const = default;
    };
    std::vector<Refusal> refusals;
    void RefusalStands(const std::string &reason) override { refusals.push_back({reason, shown.size()}); }
};

} // namespace zevlo::fakes
