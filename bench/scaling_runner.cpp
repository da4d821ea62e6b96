#include "scaling_runner.h"

#include <malloc.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace salvex::bench {

std::set<std::int64_t> ScalingSizes(std::int64_t fallback, std::int64_t factor, std::int64_t smallest) {
  std::set<std::int64_t> sizes;
  const char* setting = std::getenv("SALVEX_BENCH_FOLDERS");
  std::istringstream list(setting && *setting ? setting : std::to_string(fallback));
  for (std::string item; std::getline(list, item, ',');) {
    const std::int64_t size = std::atoll(item.c_str());
    if (size <= 0 || size < smallest) continue;
    sizes.insert(size);
    sizes.insert(factor * size);
  }
  return sizes;
}

void RegisterScaling(const char* name, void (*function)(benchmark::State&), const std::set<std::int64_t>& sizes,
                     std::int64_t divisor) {
  auto* registered = benchmark::RegisterBenchmark(name, function);
  for (const std::int64_t size : sizes) {
    if (size / divisor > 0) registered->Arg(size / divisor);
  }
  registered->ArgName("folders")->Unit(benchmark::kMillisecond);
}

int RunScalingBenchmarks(int argc, char** argv) {
  // Freed memory stays in the process, so every iteration reuses pages that
  // are already mapped. Otherwise a large free goes back to the kernel, and
  // whether the next iteration pays a page fault for every 4 KiB depends on
  // what ran before: on this VM that alone made runs differ tenfold.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace salvex::bench
