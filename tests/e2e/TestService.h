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

#include <algorithm>
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

// The fields of a line of the service's ports file or request log: tab-separated bytes in
// hex, "-" for none.
inline std::vector<std::optional<std::string>> Fields(const std::string &line) {
    std::vector<std::optional<std::string>> fields;
    std::size_t start = 0;
    for (std::size_t end; start <= line.size(); start = end + 1) {
        end = std::min(line.find('\t', start), line.size());
        const std::string field = line.substr(start, end - start);
        if (field == "-") {
            fields.emplace_back();
            continue;
        }
        std::string bytes;
        for (std::size_t at = 0; at + 1 < field.size(); at += 2)
            bytes += static_cast<char>(std::stoi(field.substr(at, 2), nullptr, 16));
        fields.emplace_back(bytes);
    }
    return fields;
}

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
        const std::filesystem::path ports = folder_.Root() / "ports";
        while (!std::filesystem::exists(ports)) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) {
                pid_ = 0;
                Cleanup();
                throw std::runtime_error("the test service did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto info = detail::Fields(test::Lines(test::ReadBytes(ports.string())).at(0));
        httpPort_ = std::stoi(info.at(0).value());
        httpsPort_ = std::stoi(info.at(1).value());
        certFile_ = info.at(2).value();
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
        for (const std::string &line : test::Lines(test::ReadBytes(folder_.File("requests.log")))) {
            if (line.empty())
                continue;
            const auto fields = detail::Fields(line);
            if (fields.size() < 10 || fields.size() % 2 != 0)
                throw std::runtime_error("a request log line of the wrong form: " + line);
            ReceivedRequest request{.method = fields[0].value_or(""),
                                    .path = fields[1].value_or(""),
                                    .query = fields[2].value_or(""),
                                    .params = {},
                                    .userAgent = fields[3].value_or(""),
                                    .scheme = fields[4].value_or(""),
                                    .authScheme = fields[5].value_or(""),
                                    .user = fields[6],
                                    .passwordOk = fields[7] == "1",
                                    .status = std::stoi(fields[8].value_or("0")),
                                    .contentLength = fields[9]};
            for (std::size_t i = 10; i + 1 < fields.size(); i += 2)
                request.params.emplace_back(fields[i].value_or(""), fields[i + 1].value_or(""));
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

    void ClearRequests() const { test::WriteBytes(folder_.File("requests.log"), ""); }

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
