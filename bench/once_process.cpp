// `zevlo --once` as a whole process against the local test service (HTTP check, HTTPS update
// with Basic, a change each run), next to the same two curl runs started directly. What the
// program adds is its start, its file writes and its reading of the settings; the ratio of the
// two shows it. Two peaks of resident memory are reported as counters: wait4's, which counts
// the children --once reaped (curl), and the program's own (VmHWM, read until it exits).

#include "bench/CurlService.h"
#include "crypto/Password.h"
#include "tests/engine/EngineFakes.h"
#include "tests/support/TempFolder.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#ifndef ZEVLO_PROGRAM
#error "ZEVLO_PROGRAM must name the built program"
#endif

namespace {

using namespace zevlo;

// A folder with a copy of the program and its Settings.ini, as a portable install.
struct OnceFolder {
    explicit OnceFolder(const std::filesystem::path &parent = std::filesystem::temp_directory_path()) : temp(parent) {
        std::filesystem::copy_file(ZEVLO_PROGRAM, temp.Root() / "zevlo");
        std::ofstream(temp.Root() / "log.txt");
    }

    // The stored address differs from the service's answer: every run sends the update.
    void WriteSettings() const {
        e2e::TestService &service = bench::Service();
        std::ofstream(temp.Root() / "Settings.ini", std::ios::binary | std::ios::trunc)
            << "FSET_User=alice\r\nFSET_Pass=" << EncryptPassword("secret")
            << "\r\nFSET_Hostname=home.example.net\r\nFSET_LAST_IP=198.51.100.1\r\n"
               "FSET_UPD_Protocol=0\r\nFSET_UPD_Port="
            << service.Port("https")
            << "\r\nFSET_UPD_Server=127.0.0.1\r\nFSET_UPD_Auth=0\r\n"
               "FSET_CIP_Protocol=1\r\nFSET_CIP_Port="
            << service.Port("http") << "\r\nFSET_CIP_Server=127.0.0.1\r\nFSET_CIP_Auth=0\r\n";
    }

    // Runs the copy to its end; its exit status, and its peak resident memory in KiB with its
    // children's (wait4). With `ownPeakKiB` its own peak is read from /proc while it runs.
    int Run(long &maxResidentKiB, long *ownPeakKiB = nullptr) const {
        const std::string exe = temp.File("zevlo");
        char once[] = "--once";
        char *argv[] = {const_cast<char *>(exe.c_str()), once, nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int started = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (started != 0)
            return -1;
        int status = 0;
        rusage usage{};
        if (ownPeakKiB != nullptr) {
            const std::string statusFile = "/proc/" + std::to_string(pid) + "/status";
            while (wait4(pid, &status, WNOHANG, &usage) == 0) {
                std::ifstream in(statusFile);
                for (std::string line; std::getline(in, line);)
                    if (line.rfind("VmHWM:", 0) == 0)
                        *ownPeakKiB = std::max(*ownPeakKiB, std::stol(line.substr(6)));
            }
        } else {
            wait4(pid, &status, 0, &usage);
        }
        maxResidentKiB = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::TempFolder temp;
};

// state.range(0): the folder in memory (/dev/shm), where a flush costs nothing, instead of on
// the disk, where it costs what the disk makes it (milliseconds on a shared machine).
void OnceProcess(benchmark::State &state) {
    const OnceFolder folder(state.range(0) != 0 ? std::filesystem::path("/dev/shm")
                                                : std::filesystem::temp_directory_path());
    long maxResident = 0;
    long peak = 0;
    int status = 0;
    for (auto _ : state) {
        state.PauseTiming();
        folder.WriteSettings();
        state.ResumeTiming();
        status = folder.Run(maxResident);
        peak = std::max(peak, maxResident);
        if (status != 0)
            break;
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    if (status != 0)
        state.SkipWithError("zevlo --once did not end with status 0");
}

// Not timed against the curl runs: reading /proc all the while costs time of its own.
void OnceProcessOwnPeak(benchmark::State &state) {
    const OnceFolder folder;
    long withChildren = 0;
    long own = 0;
    int status = 0;
    for (auto _ : state) {
        folder.WriteSettings();
        status = folder.Run(withChildren, &own);
        if (status != 0)
            break;
    }
    state.counters["own_peak_KiB"] = static_cast<double>(own);
    state.counters["with_curl_peak_KiB"] = static_cast<double>(withChildren);
    if (status != 0)
        state.SkipWithError("zevlo --once did not end with status 0");
}

// The two requests of --once, as curl is started for them directly.
struct TwoCurls {
    TwoCurls() {
        e2e::TestService &service = bench::Service();
        check = {{"curl", "-s", "-g", "-XGET",
                  "http://127.0.0.1:" + std::to_string(service.Port("http")) + "/checkip?format=text",
                  "-AZevlo - Windows DDNS Client by Tarvenic [alice] - v3.0"},
                 std::nullopt,
                 {},
                 {}};
        update = {{"curl", "-s", "-g", "-XGET", "--basic", "-K", "-",
                   "https://127.0.0.1:" + std::to_string(service.Port("https")) +
                       "/v3/update?hostname=home.example.net&myip=" + bench::kAddress,
                   "-AZevlo - Windows DDNS Client by Tarvenic [alice] - v3.0"},
                  std::string("user = \"alice:secret\"\n"),
                  {},
                  {}};
    }
    // False when curl did not reach the service as expected.
    bool Run() const {
        return bench::SpawnCurl(check) == bench::kAddress &&
               bench::SpawnCurl(update) == std::string("good ") + bench::kAddress;
    }
    CurlCommand check;
    CurlCommand update;
};

void TwoCurlRuns(benchmark::State &state) {
    const TwoCurls curls;
    bool reached = true;
    for (auto _ : state)
        reached = curls.Run() && reached;
    if (!reached)
        state.SkipWithError("curl did not reach the service as expected");
}

// --once and the two curl runs one after the other in every iteration, so that a machine
// shared with others loads both alike; the medians and their ratio as counters.
// state.range(0) as for OnceProcess.
void OnceNextToCurl(benchmark::State &state) {
    const OnceFolder folder(state.range(0) != 0 ? std::filesystem::path("/dev/shm")
                                                : std::filesystem::temp_directory_path());
    const TwoCurls curls;
    std::vector<double> once;
    std::vector<double> curl;
    long maxResident = 0;
    bool fine = true;
    for (auto _ : state) {
        folder.WriteSettings();
        const auto start = std::chrono::steady_clock::now();
        fine = folder.Run(maxResident) == 0 && fine;
        const auto between = std::chrono::steady_clock::now();
        fine = curls.Run() && fine;
        const auto end = std::chrono::steady_clock::now();
        once.push_back(std::chrono::duration<double, std::milli>(between - start).count());
        curl.push_back(std::chrono::duration<double, std::milli>(end - between).count());
    }
    state.counters["once_ms"] = bench::Median(once);
    state.counters["curl_ms"] = bench::Median(curl);
    state.counters["ratio"] = bench::Median(curl) > 0 ? bench::Median(once) / bench::Median(curl) : 0;
    if (!fine)
        state.SkipWithError("a run did not reach the service as expected");
}

// Alternating rounds, so load from elsewhere on the machine falls on both sides alike.
const bool registered = [] {
    for (int round = 1; round <= 3; ++round) {
        const std::string suffix = "/round:" + std::to_string(round);
        benchmark::RegisterBenchmark(("OnceProcess" + suffix).c_str(), OnceProcess)
            ->Arg(0)
            ->Arg(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(2.0);
        benchmark::RegisterBenchmark(("TwoCurlRuns" + suffix).c_str(), TwoCurlRuns)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(2.0);
    }
    benchmark::RegisterBenchmark("OnceNextToCurl", OnceNextToCurl)
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(150);
    benchmark::RegisterBenchmark("OnceProcessOwnPeak", OnceProcessOwnPeak)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20);
    return true;
}();

} // namespace
