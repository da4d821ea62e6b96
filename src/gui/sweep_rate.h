#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace salvex::gui {

// The read rate of a sweep and the time it still needs, from the sectors
// done so far as the window sees them. The rate is told once a couple of
// seconds have been measured; the time left only while the rate of the last
// seconds agrees with the rate over a longer stretch, so a guess that would
// jump about is not shown.
class SweepRate {
 public:
  explicit SweepRate(std::uint64_t totalSectors = 0) : total_(totalSectors) {}

  // `seconds` since any fixed moment, never going back.
  void Add(double seconds, std::uint64_t sectorsDone);

  std::optional<double> BytesPerSecond() const;
  std::optional<double> SecondsLeft() const;
  // "12.5 MB/s" alone, or with " – about 3 min 20 s left"; empty until the
  // rate is known.
  std::string Text() const;

  static constexpr double kWindowSeconds = 6.0;   // the longer stretch
  static constexpr double kRecentSeconds = 2.0;   // the last seconds
  static constexpr double kSteadyTolerance = 0.2; // how far the two may differ

 private:
  struct Sample {
    double seconds;
    std::uint64_t sectors;
  };
  // Sectors per second between the newest sample and the oldest one at
  // most `span` seconds before it.
  std::optional<double> RateOver(double span) const;

  std::uint64_t total_;
  std::deque<Sample> samples_;
};

// "3 min 20 s", "1 h 5 min", "45 s".
std::string DurationText(double seconds);

}  // namespace salvex::gui
