#include "support/mft_record_builder.h"

#include <algorithm>

namespace salvex::testing {
namespace {

std::size_t Align8(std::size_t value) { return (value + 7) & ~std::size_t{7}; }

}  // namespace

MftRecordBuilder::MftRecordBuilder(std::uint8_t flags, std::uint64_t baseRecord) {
  bytes_[0] = 'F';
  bytes_[1] = 'I';
  bytes_[2] = 'L';
  bytes_[3] = 'E';
  Put16(4, 48);  // update-sequence array offset
  Put16(6, 3);   // sequence number and one entry per sector
  Put16(20, 56);
  bytes_[22] = flags;
  Put32(28, 1024);
  Put64(0x20, baseRecord);
}

void MftRecordBuilder::Put16(std::size_t at, std::uint16_t value) {
  bytes_.at(at) = static_cast<std::uint8_t>(value);
  bytes_.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void MftRecordBuilder::Put32(std::size_t at, std::uint32_t value) {
  Put16(at, static_cast<std::uint16_t>(value));
  Put16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

void MftRecordBuilder::Put64(std::size_t at, std::uint64_t value) {
  Put32(at, static_cast<std::uint32_t>(value));
  Put32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::size_t MftRecordBuilder::Begin(std::uint32_t type, std::size_t length, bool nonResident,
                                    std::u16string_view name, std::size_t nameOffset) {
  const std::size_t at = next_;
  length = Align8(length);
  Put32(at, type);
  Put32(at + 4, static_cast<std::uint32_t>(length));
  bytes_.at(at + 8) = nonResident ? 1 : 0;
  bytes_.at(at + 9) = static_cast<std::uint8_t>(name.size());
  Put16(at + 10, static_cast<std::uint16_t>(nameOffset));
  for (std::size_t i = 0; i < name.size(); ++i) Put16(at + nameOffset + 2 * i, name[i]);
  next_ += length;
  return at;
}

MftRecordBuilder& MftRecordBuilder::FileName(std::u16string_view name, std::uint8_t nameSpace, std::uint32_t parent,
                                             std::uint64_t created, std::uint64_t changed) {
  const std::size_t valueLength = 66 + 2 * name.size();
  const std::size_t at = Begin(0x30, 24 + valueLength, false, u"", 0);
  Put32(at + 16, static_cast<std::uint32_t>(valueLength));
  Put16(at + 20, 24);
  const std::size_t value = at + 24;
  Put64(value, parent | (std::uint64_t{1} << 48));
  Put64(value + 8, created);
  Put64(value + 24, changed);
  bytes_.at(value + 64) = static_cast<std::uint8_t>(name.size());
  bytes_.at(value + 65) = nameSpace;
  for (std::size_t i = 0; i < name.size(); ++i) Put16(value + 66 + 2 * i, name[i]);
  return *this;
}

MftRecordBuilder& MftRecordBuilder::ResidentData(std::span<const std::uint8_t> data, std::u16string_view stream) {
  const std::size_t valueOffset = Align8(24 + 2 * stream.size());
  const std::size_t at = Begin(0x80, valueOffset + data.size(), false, stream, 24);
  Put32(at + 16, static_cast<std::uint32_t>(data.size()));
  Put16(at + 20, static_cast<std::uint16_t>(valueOffset));
  std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at + valueOffset));
  return *this;
}

MftRecordBuilder& MftRecordBuilder::NonResidentData(std::uint64_t dataSize, std::span<const std::uint8_t> runList,
                                                    std::u16string_view stream, std::uint16_t flags) {
  const std::size_t runsOffset = Align8(64 + 2 * stream.size());
  const std::size_t at = Begin(0x80, runsOffset + runList.size() + 1, true, stream, 64);
  Put16(at + 12, flags);
  Put16(at + 32, static_cast<std::uint16_t>(runsOffset));
  Put64(at + 40, Align8(dataSize));  // allocated size: not the data size
  Put64(at + 48, dataSize);
  Put64(at + 56, dataSize);
  std::copy(runList.begin(), runList.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at + runsOffset));
  return *this;
}

MftRecordBuilder& MftRecordBuilder::IndexRoot(std::uint32_t owner) {
  // Header 24, name 8, index root header 16, node header 16, then entries.
  const std::size_t entries = 64;
  const std::size_t entryLength = owner == 0 ? 16 : 16 + 66 + 2;
  const std::size_t at = Begin(0x90, entries + entryLength + (owner == 0 ? 0 : 16), false, u"$I30", 24);
  Put16(at + 20, 32);
  if (owner != 0) {
    Put16(at + entries + 8, static_cast<std::uint16_t>(entryLength));
    Put64(at + entries + 16, owner);              // the key's parent: the folder itself
    bytes_.at(at + entries + 16 + 64) = 1;         // name length
    Put16(at + entries + 16 + 66, u'a');
  }
  return *this;
}

MftRecordBuilder& MftRecordBuilder::IndexAllocation(std::span<const std::uint8_t> runList) {
  const std::size_t runsOffset = 72;
  const std::size_t at = Begin(0xA0, runsOffset + runList.size() + 1, true, u"$I30", 64);
  Put16(at + 32, static_cast<std::uint16_t>(runsOffset));
  std::copy(runList.begin(), runList.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at + runsOffset));
  return *this;
}

MftRecordBuilder& MftRecordBuilder::AttributeList(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
  const std::size_t entrySize = 32;
  const std::size_t at = Begin(0x20, 24 + entrySize * entries.size(), false, u"", 0);
  Put32(at + 16, static_cast<std::uint32_t>(entrySize * entries.size()));
  Put16(at + 20, 24);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::size_t entry = at + 24 + i * entrySize;
    Put32(entry, entries[i].first);
    Put16(entry + 4, static_cast<std::uint16_t>(entrySize));
    Put64(entry + 16, entries[i].second);
  }
  return *this;
}

MftRecordBytes MftRecordBuilder::Build(std::uint16_t sequenceNumber) const {
  MftRecordBuilder copy = *this;
  copy.Put32(copy.next_, 0xFFFFFFFF);
  copy.Put32(24, static_cast<std::uint32_t>(copy.next_ + 8));  // bytes in use
  copy.Put16(48, sequenceNumber);
  for (std::size_t sector = 0; sector < 2; ++sector) {
    const std::size_t end = 510 + 512 * sector;
    copy.bytes_[50 + 2 * sector] = copy.bytes_[end];
    copy.bytes_[51 + 2 * sector] = copy.bytes_[end + 1];
    copy.Put16(end, sequenceNumber);
  }
  return copy.bytes_;
}

}  // namespace salvex::testing
