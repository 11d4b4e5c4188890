#pragma once

// The local dynamic-DNS test service (tests/e2e/service.py) for tests and benchmarks on Linux:
// starts it in a fresh temp folder, configures its answers, reads its request log, stops it.
//
//     zevlo::e2e::TestService service;            // throws when it cannot start
//     service.Configure({{"/checkip", {.body = "203.0.113.7"}}});
//     ... run curl against service.Url("https", "/checkip") with CURL_CA_BUNDLE=service.CertFile()
//     for (const auto& request : service.Requests()) ...

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef ZEVLO_SOURCE_DIR
#error "ZEVLO_SOURCE_DIR must name the source tree"
#endif

extern char **environ;

namespace zevlo::e2e {

// How the service answers the requests of one path.
struct Answer {
    std::string body = "good";
    int status = 200;
    double delaySeconds = 0;
    std::string auth = "none"; // none, basic, digest, both
    std::map<std::string, std::string> users;
    std::string deniedBody = "badauth";
    std::string location;       // a Location header, for a 3xx status
    bool requireLength = false; // a POST without Content-Length is answered 411
    double endlessSeconds = 0;  // after the body, filler for this long: an answer without end
};

// One request as the service received it.
struct ReceivedRequest {
    std::string method;
    std::string path;
    std::string query;                                       // raw, still percent-encoded
    std::vector<std::pair<std::string, std::string>> params; // decoded by the service
    std::string userAgent;
    std::string scheme;     // http, https
    std::string authScheme; // none, basic, digest, other
    std::optional<std::string> user;
    bool passwordOk = false;
    int status = 0;
    std::optional<std::string> contentLength;

    std::optional<std::string> Param(const std::string &name) const {
        for (const auto &[key, value] : params)
            if (key == name)
                return value;
        return std::nullopt;
    }
};

namespace detail {

inline std::string JsonString(const std::string &bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// Just enough JSON for the request log: objects, arrays, strings (\u00XX back to bytes),
// numbers, true, false, null.
struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> fields;

    const JsonValue &operator[](const std::string &name) const {
        static const JsonValue kNull;
        const auto found = fields.find(name);
        return found == fields.end() ? kNull : found->second;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string &text) : text_(text) {}

    JsonValue Parse() {
        JsonValue value = ParseValue();
        SkipBlanks();
        if (at_ != text_.size())
            Fail();
        return value;
    }

private:
    [[noreturn]] void Fail() const { throw std::runtime_error("bad JSON at " + std::to_string(at_) + ": " + text_); }
    void SkipBlanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool TakeWord(const char *word) {
        const std::string w(word);
        if (text_.compare(at_, w.size(), w) != 0)
            return false;
        at_ += w.size();
        return true;
    }

    JsonValue ParseValue() {
        SkipBlanks();
        JsonValue value;
        if (Take('{')) {
            value.type = JsonValue::Type::Object;
            if (Take('}'))
                return value;
            do {
                SkipBlanks();
                const std::string name = ParseString();
                if (!Take(':'))
                    Fail();
                value.fields[name] = ParseValue();
            } while (Take(','));
            if (!Take('}'))
                Fail();
        } else if (Take('[')) {
            value.type = JsonValue::Type::Array;
            if (Take(']'))
                return value;
            do
                value.items.push_back(ParseValue());
            while (Take(','));
            if (!Take(']'))
                Fail();
        } else if (at_ < text_.size() && text_[at_] == '"') {
            value.type = JsonValue::Type::String;
            value.text = ParseString();
        } else if (TakeWord("true") || TakeWord("false")) {
            value.type = JsonValue::Type::Bool;
            value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
        } else if (TakeWord("null")) {
        } else {
            std::size_t used = 0;
            try {
                value.number = std::stod(text_.substr(at_), &used);
            } catch (const std::exception &) {
                Fail();
            }
            value.type = JsonValue::Type::Number;
            at_ += used;
        }
        return value;
    }

    std::string ParseString() {
        if (at_ >= text_.size() || text_[at_] != '"')
            Fail();
        ++at_;
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size())
                Fail();
            c = text_[at_++];
            switch (c) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                if (at_ + 4 > text_.size())
                    Fail();
                const unsigned long code = std::stoul(text_.substr(at_, 4), nullptr, 16);
                if (code > 0xFF)
                    Fail(); // the service writes bytes as U+0000..U+00FF only
                out += static_cast<char>(code);
                at_ += 4;
                break;
            }
            default:
                out += c;
            }
        }
        if (at_ >= text_.size())
            Fail();
        ++at_;
        return out;
    }

    const std::string &text_;
    std::size_t at_ = 0;
};

} // namespace detail

class TestService {
public:
    static std::filesystem::path ScriptPath() {
        return std::filesystem::path(ZEVLO_SOURCE_DIR) / "tests/e2e/service.py";
    }

    TestService() {
        const std::string script = ScriptPath().string();
        const std::string dir = folder_.Root().string();
        const std::string parent = std::to_string(getpid());
        std::vector<std::string> args = {"/usr/bin/python3", script, "--dir", dir, "--parent-pid", parent};
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = 0;
            Cleanup();
            throw std::runtime_error("cannot start " + script);
        }

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const std::filesystem::path ports = folder_.Root() / "ports.json";
        while (!std::filesystem::exists(ports)) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) {
                pid_ = 0;
                Cleanup();
                throw std::runtime_error("the test service did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const detail::JsonValue info = detail::JsonReader(test::ReadBytes(ports.string())).Parse();
        httpPort_ = static_cast<int>(info["http"].number);
        httpsPort_ = static_cast<int>(info["https"].number);
        certFile_ = info["cert"].text;
    }

    ~TestService() { Cleanup(); }
    TestService(const TestService &) = delete;
    TestService &operator=(const TestService &) = delete;

    int Port(const std::string &scheme) const { return scheme == "https" ? httpsPort_ : httpPort_; }
    const std::string &CertFile() const { return certFile_; }
    const std::filesystem::path &Dir() const { return folder_.Root(); }

    // The answers by path ("*" for every other path); replaces the previous configuration.
    void Configure(const std::map<std::string, Answer> &routes) const {
        std::string json = "{\"routes\": {";
        bool first = true;
        for (const auto &[path, answer] : routes) {
            if (!first)
                json += ", ";
            first = false;
            json += detail::JsonString(path) + ": {\"body\": " + detail::JsonString(answer.body) +
                    ", \"status\": " + std::to_string(answer.status) +
                    ", \"delay\": " + std::to_string(answer.delaySeconds) +
                    ", \"auth\": " + detail::JsonString(answer.auth) +
                    ", \"denied_body\": " + detail::JsonString(answer.deniedBody) +
                    ", \"require_length\": " + (answer.requireLength ? "true" : "false") +
                    ", \"endless\": " + std::to_string(answer.endlessSeconds) +
                    (answer.location.empty() ? "" : ", \"location\": " + detail::JsonString(answer.location)) +
                    ", \"users\": {";
            bool firstUser = true;
            for (const auto &[user, password] : answer.users) {
                if (!firstUser)
                    json += ", ";
                firstUser = false;
                json += detail::JsonString(user) + ": " + detail::JsonString(password);
            }
            json += "}}";
        }
        json += "}}";
        test::WriteBytes(folder_.File("config.json.tmp"), json);
        std::filesystem::rename(folder_.File("config.json.tmp"), folder_.File("config.json"));
    }

    std::vector<ReceivedRequest> Requests() const {
        std::vector<ReceivedRequest> requests;
        for (const std::string &line : test::Lines(test::ReadBytes(folder_.File("requests.jsonl")))) {
            if (line.empty())
                continue;
            const detail::JsonValue record = detail::JsonReader(line).Parse();
            ReceivedRequest request;
            request.method = record["method"].text;
            request.path = record["path"].text;
            request.query = record["query"].text;
            for (const detail::JsonValue &pair : record["params"].items)
                if (pair.items.size() == 2)
                    request.params.emplace_back(pair.items[0].text, pair.items[1].text);
            request.userAgent = record["user_agent"].text;
            request.scheme = record["scheme"].text;
            request.authScheme = record["auth_scheme"].text;
            if (record["user"].type == detail::JsonValue::Type::String)
                request.user = record["user"].text;
            request.passwordOk = record["password_ok"].boolean;
            request.status = static_cast<int>(record["status"].number);
            if (record["content_length"].type == detail::JsonValue::Type::String)
                request.contentLength = record["content_length"].text;
            requests.push_back(std::move(request));
        }
        return requests;
    }

    // The requests that were answered with something other than an authentication challenge.
    std::vector<ReceivedRequest> AnsweredRequests() const {
        std::vector<ReceivedRequest> answered;
        for (ReceivedRequest &request : Requests())
            if (request.status != 401 || request.authScheme != "none")
                answered.push_back(std::move(request));
        return answered;
    }

    void ClearRequests() const { test::WriteBytes(folder_.File("requests.jsonl"), ""); }

private:
    void Cleanup() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = 0;
        }
    }

    test::TempFolder folder_;
    pid_t pid_ = 0;
    int httpPort_ = 0;
    int httpsPort_ = 0;
    std::string certFile_;
};

} // namespace zevlo::e2e
