// The whole-file rewrite of log.txt on every append, and a settings save, on the real disk.
#include "data/Tdm.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using zevlo::test::TempFolder;

void BM_AddLogHolding(benchmark::State &state) {
    TempFolder folder;
    zevlo::Tdm dm;
    dm.FMaxLog = static_cast<std::int32_t>(state.range(0));
    for (std::int32_t i = 0; i < dm.FMaxLog; ++i)
        dm.LogLines.push_back("12/08/26 13:45:30\tCheck:  IP Address changed from 203.0.113.7 to 198.51.100." +
                              std::to_string(i % 256));
    dm.LogFile = folder.File("log.txt");
    for (auto _ : state)
        dm.AddLog("Update:", "good 198.51.100.23");
    state.counters["bytes"] = static_cast<double>(zevlo::JoinLines(dm.LogLines).size());
    dm.LogFile.clear();
}
BENCHMARK(BM_AddLogHolding)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_SaveSettings(benchmark::State &state) {
    TempFolder folder;
    zevlo::Tdm dm;
    dm.SettingsFile = folder.File("Settings.ini");
    dm.FSET_User = "alice";
    dm.FSET_Pass = "c2VjcmV0";
    dm.FSET_Hostname = "home.example.net";
    dm.FSET_LAST_IP = "203.0.113.7";
    for (auto _ : state)
        benchmark::DoNotOptimize(dm.SaveSettings());
    dm.SettingsFile.clear();
}
BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMillisecond);

} // namespace
