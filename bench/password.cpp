#include "crypto/Password.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string kTypicalPassword = "Sommer2024!";

void BM_EncryptPassword(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(zevlo::EncryptPassword(kTypicalPassword));
}
BENCHMARK(BM_EncryptPassword);

void BM_DecryptPassword(benchmark::State &state) {
    const std::string stored = zevlo::EncryptPassword(kTypicalPassword);
    for (auto _ : state)
        benchmark::DoNotOptimize(zevlo::DecryptPassword(stored));
}
BENCHMARK(BM_DecryptPassword);

// The per-byte CFB-8 cost on top of the fixed key set-up.
void BM_EncryptPasswordLength(benchmark::State &state) {
    const std::string clear(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state)
        benchmark::DoNotOptimize(zevlo::EncryptPassword(clear));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_EncryptPasswordLength)->Arg(1)->Arg(16)->Arg(64)->Arg(256);

} // namespace
