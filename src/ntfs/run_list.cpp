#include "ntfs/run_list.h"

#include "ntfs/mft_record.h"

namespace salvex {
namespace {

constexpr unsigned kMaxFieldWidth = 8;

std::uint64_t UnsignedField(Bytes record, std::size_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= std::uint64_t{u8(record, at + i)} << (8 * i);
  return value;
}

}  // namespace

std::int64_t EncodedRun::SignedOffset() const {
  std::uint64_t value = rawOffset;
  if (offsetWidth > 0 && offsetWidth < 8 && ((value >> (8 * offsetWidth - 1)) & 1)) {
    value |= ~std::uint64_t{0} << (8 * offsetWidth);
  }
  return static_cast<std::int64_t>(value);
}

std::vector<EncodedRun> ReadRunList(Bytes record, std::size_t position) {
  std::vector<EncodedRun> runs;
  while (position < record.size()) {
    const std::uint8_t header = record[position];
    if (header == 0) break;
    const unsigned lengthWidth = header & 0x0F;
    const unsigned offsetWidth = header >> 4;
    if (lengthWidth > kMaxFieldWidth || offsetWidth > kMaxFieldWidth) break;
    if (!Fits(record, position + 1, lengthWidth + offsetWidth)) break;
    EncodedRun run;
    run.clusterCount = UnsignedField(record, position + 1, lengthWidth);
    run.offsetWidth = offsetWidth;
    run.rawOffset = UnsignedField(record, position + 1 + lengthWidth, offsetWidth);
    runs.push_back(run);
    position += 1 + lengthWidth + offsetWidth;
  }
  return runs;
}

std::optional<std::vector<DataRun>> DecodeDataRuns(Bytes record, std::size_t attributeOffset) {
  const std::size_t position = attributeOffset + u16le(record, attributeOffset + 32);
  if (position >= kMftRecordSize || position >= record.size()) return std::nullopt;
  std::vector<DataRun> runs;
  std::optional<std::uint64_t> lastCluster;
  for (const EncodedRun& encoded : ReadRunList(record, position)) {
    DataRun run;
    run.clusterCount = encoded.clusterCount;
    if (encoded.IsSparse()) {
      // A hole: nothing on disk, and the next run still counts from the last real one.
      run.sparse = true;
    } else if (!lastCluster) {
      run.firstCluster = encoded.rawOffset;
      lastCluster = run.firstCluster;
    } else {
      run.firstCluster = *lastCluster + static_cast<std::uint64_t>(encoded.SignedOffset());
      lastCluster = run.firstCluster;
    }
    runs.push_back(run);
  }
  return runs;
}

}  // namespace salvex
