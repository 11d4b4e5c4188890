// One check-and-update cycle through the engine (HTTP check, HTTPS update with Basic) against
// the local test service, next to the same two curl runs started directly with the same
// arguments. The engine's overhead is the ratio of the two.

#include "bench/EngineCycle.h"

#include <benchmark/benchmark.h>

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
