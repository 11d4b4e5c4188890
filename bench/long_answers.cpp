// Answers that do not end: a check script that prints 200 MB and an update answered without
// end for 5 s (at the speed the test service sends), through the engine and the real runner.
// The counter peak_rss_KiB is this process's own peak resident memory (the children's is not
// counted); the goal is under 20 MB whatever a child prints, and the run fails above it.

#include "bench/EngineCycle.h"
#include "tests/support/Files.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using namespace zevlo;

constexpr long kGoalKiB = 20 * 1024;
constexpr const char *kTooLong = "ERROR - the answer was longer than 64 KiB";

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The engine over the test service, and a check script that prints 200 MB.
struct LongAnswers : bench::EngineCycle {
    LongAnswers() {
        test::WriteBytes(temp.File("talkative.sh"), "#!/bin/sh\necho 203.0.113.7\nhead -c 209715200 /dev/zero\n");
        chmod(temp.File("talkative.sh").c_str(), 0700);
    }
};

void Report(benchmark::State &state, bool answeredAsExpected) {
    const long peak = PeakResidentKiB();
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    if (!answeredAsExpected)
        state.SkipWithError("the long answer was not reported as such");
    else if (peak >= kGoalKiB)
        state.SkipWithError("peak resident memory of 20 MB or more");
}

void ScriptPrints200MB(benchmark::State &state) {
    LongAnswers run;
    run.endpoints.customScript = true;
    run.endpoints.scriptPath = run.temp.File("talkative.sh");
    bool expected = true;
    for (auto _ : state) {
        run.engine.CheckAndUpdate();
        expected = expected && run.LastEvent() == std::string("Check:  ") + kTooLong;
    }
    Report(state, expected);
}

void UpdateAnsweredWithoutEnd(benchmark::State &state) {
    LongAnswers run;
    e2e::Answer check;
    check.body = bench::kAddress;
    e2e::Answer update;
    update.body = std::string("good ") + bench::kAddress;
    update.auth = "basic";
    update.users = {{"alice", "secret"}};
    update.endlessSeconds = 5;
    bench::Service().Configure({{"/checkip", check}, {"/v3/update", update}});
    bool expected = true;
    for (auto _ : state) {
        run.dm.FSET_LAST_IP.clear(); // every cycle sends the update
        run.engine.CheckAndUpdate();
        expected = expected && run.LastEvent() == std::string("Update: ") + kTooLong;
    }
    Report(state, expected);
}

BENCHMARK(ScriptPrints200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(UpdateAnsweredWithoutEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace
