#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace salvex::testing {

using MftRecordBytes = std::array<std::uint8_t, 1024>;

// Writes an MFT file record attribute by attribute, the way NTFS lays it out:
// header with an update-sequence array at 48, attributes from 56, the end
// marker, and the update sequence applied (the real last bytes of each sector
// moved into the array) when built.
class MftRecordBuilder {
 public:
  explicit MftRecordBuilder(std::uint8_t flags = 1, std::uint64_t baseRecord = 0);

  MftRecordBuilder& FileName(std::u16string_view name, std::uint8_t nameSpace, std::uint32_t parent,
                             std::uint64_t created = 0, std::uint64_t changed = 0);
  MftRecordBuilder& ResidentData(std::span<const std::uint8_t> bytes, std::u16string_view stream = u"");
  MftRecordBuilder& NonResidentData(std::uint64_t dataSize, std::span<const std::uint8_t> runList,
                                    std::u16string_view stream = u"", std::uint16_t flags = 0);
  // An index root named $I30 whose first entry's key names `owner` as its
  // parent; owner 0 writes an empty index (only the end entry).
  MftRecordBuilder& IndexRoot(std::uint32_t owner);
  MftRecordBuilder& IndexAllocation(std::span<const std::uint8_t> runList);
  // A resident attribute list: (attribute type, record holding it) per entry.
  MftRecordBuilder& AttributeList(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries);

  MftRecordBytes Build(std::uint16_t sequenceNumber = 0x0A0B) const;
  std::size_t NextAttributeOffset() const { return next_; }

 private:
  void Put16(std::size_t at, std::uint16_t value);
  void Put32(std::size_t at, std::uint32_t value);
  void Put64(std::size_t at, std::uint64_t value);
  std::size_t Begin(std::uint32_t type, std::size_t length, bool nonResident, std::u16string_view name,
                    std::size_t nameOffset);

  MftRecordBytes bytes_{};
  std::size_t next_ = 56;
};

}  // namespace salvex::testing
