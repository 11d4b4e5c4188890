// One log line added to log.txt, at the bound of 5,000 lines and with an empty log (the line is
// appended; a tenth over the bound, the file is written whole), and a settings save, on the
// real disk.
#include "data/Tdm.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using zevlo::test::TempFolder;

void BM_AddLogHolding(benchmark::State &state) {
    TempFolder folder;
    zevlo::Tdm dm;
    dm.FMaxLog = 5000;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        dm.LogLines.push_back("12/08/26 13:45:30\tCheck:  IP Address changed from 203.0.113.7 to 198.51.100." +
                              std::to_string(i % 256));
    dm.LogFile = folder.File("log.txt");
    dm.SaveLog();
    for (auto _ : state) {
        dm.AddLog("Update:", "good 198.51.100.23");
        if (state.range(0) == 0) { // the empty log stays empty, as at the start of a run
            state.PauseTiming();
            dm.LogLines.clear();
            dm.SaveLog();
            state.ResumeTiming();
        }
    }
    state.counters["bytes"] = static_cast<double>(zevlo::JoinLines(dm.LogLines).size());
    dm.LogFile.clear();
}
BENCHMARK(BM_AddLogHolding)->Arg(0)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_SaveSettings(benchmark::State &state) {
    TempFolder folder;
    zevlo::Tdm dm;
    dm.SettingsFile = folder.File("Settings.ini");
    dm.FSET_User = "alice";
    dm.FSET_Pass = "c2VjcmV0";
    dm.FSET_Hostname = "home.example.net";
    // A new address each time: an unchanged file is not written at all.
    bool odd = false;
    for (auto _ : state) {
        dm.FSET_LAST_IP = (odd = !odd) ? "203.0.113.7" : "203.0.113.8";
        benchmark::DoNotOptimize(dm.SaveSettings());
    }
    dm.SettingsFile.clear();
}
BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMillisecond);

} // namespace
