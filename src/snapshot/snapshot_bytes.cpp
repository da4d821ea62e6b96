#include "snapshot/snapshot_bytes.h"

#include "common/letter_case.h"
#include "common/utf.h"

namespace salvex {

void SnapshotWriter::U16(std::uint16_t value) {
  U8(static_cast<std::uint8_t>(value));
  U8(static_cast<std::uint8_t>(value >> 8));
}

void SnapshotWriter::U32(std::uint32_t value) {
  U16(static_cast<std::uint16_t>(value));
  U16(static_cast<std::uint16_t>(value >> 16));
}

void SnapshotWriter::U64(std::uint64_t value) {
  U32(static_cast<std::uint32_t>(value));
  U32(static_cast<std::uint32_t>(value >> 32));
}

void SnapshotWriter::Sector(SectorNumber value) {
  if (wideSectors_) {
    U64(value);
    return;
  }
  if (value > UINT32_MAX) lostSectorBits_ = true;
  U32(static_cast<std::uint32_t>(value));
}

void SnapshotReader::Need(std::size_t size) const {
  if (size > Remaining()) throw SnapshotError("the file ends before its contents do");
}

std::uint8_t SnapshotReader::U8() {
  Need(1);
  return bytes_[position_++];
}

std::uint16_t SnapshotReader::U16() {
  Need(2);
  const std::uint16_t value = u16le(bytes_, position_);
  position_ += 2;
  return value;
}

std::uint32_t SnapshotReader::U32() {
  Need(4);
  const std::uint32_t value = u32le(bytes_, position_);
  position_ += 4;
  return value;
}

std::uint64_t SnapshotReader::U64() {
  Need(8);
  const std::uint64_t value = u64le(bytes_, position_);
  position_ += 8;
  return value;
}

std::string SnapshotReader::Text(std::size_t length) {
  Need(length);
  std::string text(reinterpret_cast<const char*>(bytes_.data() + position_), length);
  position_ += length;
  return text;
}

std::string SnapshotReader::Name(std::size_t fields) {
  const std::uint16_t recordLength = U16();
  if (recordLength < fields) throw SnapshotError("a record is shorter than its fields");
  const std::size_t nameLength = recordLength - fields;
  if (nameLength > kMaxSnapshotNameBytes) throw SnapshotError("a name is longer than any scan makes");
  // Names are shown, printed as JSON and used as file names: bytes that are
  // not UTF-8 become "_", which keeps the name's length, so a snapshot saved
  // again still loads.
  return ValidUtf8(Text(nameLength), U'_');
}

std::uint32_t SnapshotReader::Count(std::size_t minimumRecordBytes, const char* what) {
  const std::uint32_t count = U32();
  if (std::uint64_t{count} * minimumRecordBytes > Remaining()) {
    throw SnapshotError(std::string("the file announces more ") + what + " than it holds");
  }
  return count;
}

std::string SnapshotPath(const std::string& chosen, std::string_view extension) {
  const std::size_t slash = chosen.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string path = chosen.substr(0, nameStart) + UpperCase(std::string_view(chosen).substr(nameStart));
  if (path.size() < extension.size() || path.compare(path.size() - extension.size(), extension.size(), extension) != 0) {
    path += extension;
  }
  return path;
}

}  // namespace salvex
