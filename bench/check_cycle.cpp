// One check-and-update cycle through the engine (HTTP check, HTTPS update with Basic) against
// the local test service, next to the same two curl runs started directly with the same
// arguments. The engine's overhead is the ratio of the two.

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/Engine.h"
#include "platform/ProcessRunner.h"
#include "tests/e2e/TestService.h"
#include "tests/engine/EngineFakes.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

namespace {

using namespace zevlo;

constexpr const char *kAddress = "203.0.113.7";

e2e::TestService &Service() {
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

// The engine with its real runner and a Tdm writing to a temp folder.
struct Cycle {
    explicit Cycle(const std::filesystem::path &dataParent = std::filesystem::temp_directory_path())
        : temp(dataParent) {
        Init();
    }

    fakes::TempDir temp;
    Tdm dm;
    fakes::FakeEndpoints endpoints;
    platform::ProcessRunner runner;
    fakes::RecordingNotifier notifier;
    Engine engine{dm, endpoints, runner, notifier, temp.WithSeparator()};

    void Init() {
        e2e::TestService &service = Service();
        dm.SettingsFile = (temp.Path() / "Settings.ini").string();
        dm.LogFile = (temp.Path() / "log.txt").string();
        dm.FSET_User = "alice";
        dm.FSET_Pass = EncryptPassword("secret");
        dm.FSET_Hostname = "home.example.net";
        endpoints.check = {"HTTP", std::to_string(service.Port("http")), "127.0.0.1", "/checkip", "GET", "None", 0};
        endpoints.update = {"HTTPS", std::to_string(service.Port("https")), "127.0.0.1", "/v3/update", "GET", "Basic",
                            0};
    }
};

// curl started straight from the argument list, output read through one pipe.
std::string SpawnCurl(const CurlCommand &command) {
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

void RunCycles(benchmark::State &state, Cycle &cycle) {
    for (auto _ : state) {
        cycle.dm.FSET_LAST_IP.clear(); // every cycle finds a change and sends the update
        cycle.engine.CheckAndUpdate();
    }
    if (cycle.dm.FSET_LAST_IP != kAddress || !cycle.notifier.shown.empty())
        state.SkipWithError("the cycle did not reach the service as expected");
}

// Settings.ini and log.txt on the disk, each save flushed (as the program runs).
void EngineCycle(benchmark::State &state) {
    Cycle cycle;
    RunCycles(state, cycle);
}

// The same with the files in memory (/dev/shm), leaving the engine's own work and the runner.
void EngineCycleFilesInMemory(benchmark::State &state) {
    Cycle cycle("/dev/shm");
    RunCycles(state, cycle);
}

void DirectCurl(benchmark::State &state) {
    Cycle cycle;
    const CurlCommand check = cycle.engine.BuildCurlCommand(RequestKind::CheckIP);
    cycle.dm.FSET_LAST_IP = kAddress;
    const CurlCommand update = cycle.engine.BuildCurlCommand(RequestKind::Update);
    std::string checkAnswer;
    std::string updateAnswer;
    for (auto _ : state) {
        checkAnswer = SpawnCurl(check);
        updateAnswer = SpawnCurl(update);
    }
    if (checkAnswer != kAddress || updateAnswer != std::string("good ") + kAddress)
        state.SkipWithError("curl did not reach the service as expected");
}

// Alternating rounds, so load from elsewhere on the machine falls on both sides alike.
const bool registered = [] {
    for (int round = 1; round <= 3; ++round) {
        const std::string suffix = "/round:" + std::to_string(round);
        benchmark::RegisterBenchmark(("EngineCycle" + suffix).c_str(), EngineCycle)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
        benchmark::RegisterBenchmark(("EngineCycleFilesInMemory" + suffix).c_str(), EngineCycleFilesInMemory)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
        benchmark::RegisterBenchmark(("DirectCurl" + suffix).c_str(), DirectCurl)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
    }
    return true;
}();

} // namespace
