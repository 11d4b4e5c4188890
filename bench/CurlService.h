#pragma once

// The local test service as the benchmarks' dynamic-DNS service (HTTP check, HTTPS update
// with Basic), and curl started straight from an argument list, as a yardstick.

#include "engine/Engine.h"
#include "tests/e2e/TestService.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace zevlo::bench {

inline constexpr const char *kAddress = "203.0.113.7";

// The middle of the times measured, as robust against a few runs slowed by others as it gets.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

inline e2e::TestService &Service() {
    static const std::unique_ptr<e2e::TestService> service = [] {
        auto started = std::make_unique<e2e::TestService>();
        setenv("CURL_CA_BUNDLE", started->CertFile().c_str(), 1);
        setenv("NO_PROXY", "127.0.0.1,localhost", 1);
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        setenv("CURL_HOME", started->Dir().c_str(), 1);
        signal(SIGPIPE, SIG_IGN);
        e2e::Answer check;
        check.body = kAddress;
        e2e::Answer update;
        update.body = std::string("good ") + kAddress;
        update.auth = "basic";
        update.users = {{"alice", "secret"}};
        started->Configure({{"/checkip", check}, {"/v3/update", update}});
        return started;
    }();
    return *service;
}

inline // curl started straight from the argument list, output read through one pipe.
    std::string
    SpawnCurl(const CurlCommand &command) {
    int output[2];
    int input[2] = {-1, -1};
    if (pipe2(output, O_CLOEXEC) != 0 || (command.input && pipe2(input, O_CLOEXEC) != 0))
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (command.input)
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    std::vector<char *> argv;
    std::vector<std::string> args = command.args;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, "curl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (command.input) {
        close(input[0]);
        if (started == 0 && write(input[1], command.input->data(), command.input->size()) < 0)
            benchmark::DoNotOptimize(errno);
        close(input[1]);
    }
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(output[0]);
    if (started == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return text;
}

} // namespace zevlo::bench
