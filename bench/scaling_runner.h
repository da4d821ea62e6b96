#pragma once

// What the scaling benchmarks share: the sizes they run at, taken from
// SALVEX_BENCH_FOLDERS, their registration, and a stable allocator.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <set>

namespace salvex::bench {

// Each count in SALVEX_BENCH_FOLDERS="N[,M...]" (`fallback` when unset) that
// is at least `smallest`, together with `factor` times itself.
std::set<std::int64_t> ScalingSizes(std::int64_t fallback, std::int64_t factor, std::int64_t smallest = 1);

// Registers `function` with a "folders" argument of every size divided by
// `divisor`; sizes that come to 0 are left out.
void RegisterScaling(const char* name, void (*function)(benchmark::State&), const std::set<std::int64_t>& sizes,
                     std::int64_t divisor = 1);

// Runs the registered benchmarks with the command line's options; the exit
// status for main.
int RunScalingBenchmarks(int argc, char** argv);

}  // namespace salvex::bench
