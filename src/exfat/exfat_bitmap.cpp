#include "exfat/exfat_bitmap.h"

#include <algorithm>
#include <bit>

namespace salvex {

bool ExfatBitmap::IsUsed(std::uint32_t cluster) const {
  if (cluster < 2) return false;
  const std::uint64_t bit = std::uint64_t{cluster} - 2;
  return (u8(bits_, static_cast<std::size_t>(bit / 8)) >> (bit % 8) & 1) != 0;
}

bool ExfatBitmap::AnyUsed(const std::vector<ClusterRun>& runs) const {
  return std::any_of(runs.begin(), runs.end(), [&](const ClusterRun& run) { return CountUsed(run.first, run.count) > 0; });
}

std::uint64_t ExfatBitmap::CountUsed(std::uint64_t first, std::uint64_t count) const {
  // Clusters 0 and 1 do not exist; clusters past the bitmap's end are free.
  const std::uint64_t stop = first + std::min(count, UINT64_MAX - first);
  if (stop <= 2) return 0;
  std::uint64_t bit = std::max<std::uint64_t>(first, 2) - 2;
  const std::uint64_t end = std::min<std::uint64_t>(std::uint64_t{bits_.size()} * 8, stop - 2);
  std::uint64_t used = 0;
  // Bit by bit up to a byte boundary, then whole bytes, then the rest.
  for (; bit < end && bit % 8 != 0; ++bit) used += bits_[bit / 8] >> (bit % 8) & 1;
  for (; bit + 8 <= end; bit += 8) used += static_cast<std::uint64_t>(std::popcount(bits_[bit / 8]));
  for (; bit < end; ++bit) used += bits_[bit / 8] >> (bit % 8) & 1;
  return used;
}

void ExfatBitmap::MarkUsed(std::uint32_t first, std::uint64_t count) {
  if (first < 2 || count == 0) return;
  const std::uint64_t from = std::uint64_t{first} - 2;
  const std::uint64_t end = from + count;
  if ((end + 7) / 8 > bits_.size()) bits_.resize(static_cast<std::size_t>((end + 7) / 8), 0);
  for (std::uint64_t bit = from; bit < end; ++bit) bits_[bit / 8] = static_cast<std::uint8_t>(bits_[bit / 8] | 1u << (bit % 8));
}

void ExfatBitmap::MarkUsed(const std::vector<ClusterRun>& runs) {
  for (const ClusterRun& run : runs) MarkUsed(run.first, run.count);
}

void ExfatBitmap::MarkUsed(const ExfatBitmap& other) {
  if (other.bits_.size() > bits_.size()) bits_.resize(other.bits_.size(), 0);
  for (std::size_t i = 0; i < other.bits_.size(); ++i) bits_[i] = static_cast<std::uint8_t>(bits_[i] | other.bits_[i]);
}

std::vector<ClusterRun> RunsOfChain(const std::vector<std::uint32_t>& chain) {
  std::vector<ClusterRun> runs;
  for (const std::uint32_t cluster : chain) {
    if (!runs.empty() && std::uint64_t{runs.back().first} + runs.back().count == cluster) {
      ++runs.back().count;
    } else {
      runs.push_back({cluster, 1});
    }
  }
  return runs;
}

}  // namespace salvex
