#include "gui/sweep_rate.h"

#include <cmath>
#include <cstdio>

#include "common/sector.h"

namespace salvex::gui {

void SweepRate::Add(double seconds, std::uint64_t sectorsDone) {
  if (!samples_.empty() && seconds <= samples_.back().seconds) {
    samples_.back().sectors = sectorsDone;
    return;
  }
  samples_.push_back({seconds, sectorsDone});
  // Keep one sample at or before the start of the longer stretch.
  while (samples_.size() > 2 && samples_[1].seconds <= seconds - kWindowSeconds) samples_.pop_front();
}

std::optional<double> SweepRate::RateOver(double span) const {
  if (samples_.size() < 2) return std::nullopt;
  const Sample& newest = samples_.back();
  for (const Sample& sample : samples_) {
    const double elapsed = newest.seconds - sample.seconds;
    if (elapsed > span) continue;
    // Too short a stretch says little about the rate.
    if (elapsed < span * 0.75 || newest.sectors < sample.sectors) return std::nullopt;
    return static_cast<double>(newest.sectors - sample.sectors) / elapsed;
  }
  return std::nullopt;
}

std::optional<double> SweepRate::BytesPerSecond() const {
  auto rate = RateOver(kWindowSeconds);
  if (!rate) rate = RateOver(kRecentSeconds);
  if (!rate) return std::nullopt;
  return *rate * static_cast<double>(kSectorSize);
}

std::optional<double> SweepRate::SecondsLeft() const {
  const auto longer = RateOver(kWindowSeconds);
  const auto recent = RateOver(kRecentSeconds);
  if (!longer || !recent || *longer <= 0) return std::nullopt;
  if (std::fabs(*recent - *longer) > kSteadyTolerance * *longer) return std::nullopt;
  const std::uint64_t done = samples_.back().sectors;
  return done >= total_ ? 0.0 : static_cast<double>(total_ - done) / *longer;
}

std::string SweepRate::Text() const {
  const auto bytes = BytesPerSecond();
  if (!bytes) return {};
  char rate[32];
  if (*bytes >= 1e6) {
    std::snprintf(rate, sizeof rate, "%.1f MB/s", *bytes / 1e6);
  } else {
    std::snprintf(rate, sizeof rate, "%.0f kB/s", *bytes / 1e3);
  }
  std::string text = rate;
  if (const auto left = SecondsLeft()) text += " \u2013 about " + DurationText(*left) + " left";
  return text;
}

std::string DurationText(double seconds) {
  const auto total = static_cast<std::uint64_t>(std::llround(seconds < 0 ? 0 : seconds));
  const std::uint64_t hours = total / 3600;
  const std::uint64_t minutes = total / 60 % 60;
  const std::uint64_t secs = total % 60;
  if (hours > 0) return std::to_string(hours) + " h " + std::to_string(minutes) + " min";
  if (minutes > 0) return std::to_string(minutes) + " min " + std::to_string(secs) + " s";
  return std::to_string(secs) + " s";
}

}  // namespace salvex::gui
