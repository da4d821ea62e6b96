#include "imaging/imaging_figures.h"

#include <chrono>
#include <cstdio>

namespace salvex {
namespace {

constexpr auto kSteadyAfter = std::chrono::seconds(3);

}  // namespace

std::optional<std::uint64_t> SteadyRate(const ImagingProgress& progress) {
  if (progress.elapsed < kSteadyAfter) return std::nullopt;
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(progress.elapsed).count();
  return static_cast<std::uint64_t>(static_cast<double>(progress.bytesRescued) * 1000.0 / static_cast<double>(millis));
}

std::optional<std::uint64_t> SecondsLeft(const ImagingProgress& progress) {
  const auto rate = SteadyRate(progress);
  if (!rate || *rate == 0) return std::nullopt;
  return (progress.RemainingBytes() + *rate - 1) / *rate;
}

std::string ByteSize(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string Duration(std::uint64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60), static_cast<unsigned long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
  }
  return text;
}

std::string PhaseName(RescuePhase phase, int pass) {
  switch (phase) {
    case RescuePhase::copying:
      return "copying, pass " + std::to_string(pass);
    case RescuePhase::trimming:
      return "trimming";
    case RescuePhase::scraping:
      return "scraping";
    case RescuePhase::retrying:
      return "retrying, pass " + std::to_string(pass);
    case RescuePhase::finished:
      break;
  }
  return "finished";
}

int TriedPercent(const ImagingProgress& progress) {
  if (progress.extent == 0) return 100;
  const std::uint64_t known = progress.extent - progress.RemainingBytes();
  return static_cast<int>(static_cast<double>(known) * 100.0 / static_cast<double>(progress.extent));
}

}  // namespace salvex
