// One check-and-update cycle through the engine (HTTP check, HTTPS update with Basic) against
// the local test service, next to the same two curl runs started directly with the same
// arguments. The engine's overhead is the ratio of the two; what a full log costs a cycle is
// the difference between a cycle with log.txt at the bound of 5,000 lines and one with an
// empty log.

#include "bench/EngineCycle.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace {

using namespace zevlo;
using bench::kAddress;
using bench::Service;
using bench::SpawnCurl;

using Cycle = bench::EngineCycle;

void RunCycles(benchmark::State &state, Cycle &cycle) {
    for (auto _ : state) {
        cycle.dm.FSET_LAST_IP.clear(); // every cycle finds a change and sends the update
        cycle.engine.CheckAndUpdate();
    }
    if (cycle.dm.FSET_LAST_IP != kAddress || !cycle.notifier.shown.empty())
        state.SkipWithError("the cycle did not reach the service as expected");
}

// Settings.ini and log.txt on the disk, as the program writes them; log.txt holding
// state.range(0) lines at the bound.
void EngineCycle(benchmark::State &state) {
    Cycle cycle(std::filesystem::temp_directory_path(), static_cast<int>(state.range(0)));
    RunCycles(state, cycle);
}

// The same with the files in memory (/dev/shm), leaving the engine's own work and the runner:
// without the disk's flushes, which vary by milliseconds on a shared machine, what the log's
// length costs shows.
void EngineCycleFilesInMemory(benchmark::State &state) {
    Cycle cycle("/dev/shm", static_cast<int>(state.range(0)));
    RunCycles(state, cycle);
}

// A cycle with an empty log and one with log.txt at the bound, one after the other in every
// iteration, so that a machine shared with others loads both alike; the medians and what the
// full log adds as counters. state.range(0): the files in memory (/dev/shm) instead of on the disk.
void FullLogNextToEmpty(benchmark::State &state) {
    const std::filesystem::path parent =
        state.range(0) != 0 ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    Cycle empty(parent, 0);
    Cycle full(parent, 5000);
    std::vector<double> emptyMs;
    std::vector<double> fullMs;
    auto timed = [](Cycle &cycle) {
        cycle.dm.FSET_LAST_IP.clear(); // every cycle finds a change and sends the update
        const auto start = std::chrono::steady_clock::now();
        cycle.engine.CheckAndUpdate();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state) {
        emptyMs.push_back(timed(empty));
        fullMs.push_back(timed(full));
    }
    state.counters["empty_ms"] = bench::Median(emptyMs);
    state.counters["full_ms"] = bench::Median(fullMs);
    state.counters["added_ms"] = bench::Median(fullMs) - bench::Median(emptyMs);
    if (empty.dm.FSET_LAST_IP != kAddress || full.dm.FSET_LAST_IP != kAddress || !empty.notifier.shown.empty() ||
        !full.notifier.shown.empty())
        state.SkipWithError("the cycle did not reach the service as expected");
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
        // The lines log.txt holds: none, or the bound.
        using Cycles = void (*)(benchmark::State &);
        for (const auto &[name, function] :
             {std::pair<std::string, Cycles>{"EngineCycle", EngineCycle},
              std::pair<std::string, Cycles>{"EngineCycleFilesInMemory", EngineCycleFilesInMemory}})
            benchmark::RegisterBenchmark((name + suffix).c_str(), function)
                ->Arg(0)
                ->Arg(5000)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(1.0);
        benchmark::RegisterBenchmark(("DirectCurl" + suffix).c_str(), DirectCurl)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
    }
    // Past the bound's tenth: the rewrite of the full log falls into the iterations.
    benchmark::RegisterBenchmark("FullLogNextToEmpty", FullLogNextToEmpty)
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(600);
    return true;
}();

} // namespace
