#include "content/bmp_check.h"

#include <cstdlib>

namespace salvex {
namespace {

constexpr std::uint32_t kMaxDimension = 1u << 16;
// What a writer may put after the rows (padding, a colour profile).
constexpr std::uint64_t kMaxTrailing = std::uint64_t{1} << 20;

bool IsInfoHeaderSize(std::uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

bool IsBitDepth(std::uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

struct BmpLayout {
  std::uint64_t fileSize = 0;
  std::uint64_t pixelsEnd = 0;  // where the rows end, for uncompressed ones
  bool ok = false;
};

BmpLayout Layout(Bytes header) {
  BmpLayout layout;
  if (!HasText(header, 0, "BM") || header.size() < 26) return layout;
  const std::uint32_t fileSize = u32le(header, 2);
  const std::uint32_t dataOffset = u32le(header, 10);
  const std::uint32_t infoSize = u32le(header, 14);
  if (!IsInfoHeaderSize(infoSize) || u32le(header, 6) != 0) return layout;
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::uint16_t planes = 0;
  std::uint16_t bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
  if (infoSize == 12) {
    width = u16le(header, 18);
    height = u16le(header, 20);
    planes = u16le(header, 22);
    bits = u16le(header, 24);
  } else {
    if (header.size() < 54) return layout;
    width = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(s32le(header, 18))));
    height = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(s32le(header, 22))));
    planes = u16le(header, 26);
    bits = u16le(header, 28);
    compression = u32le(header, 30);
    imageSize = u32le(header, 34);
  }
  if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension || planes != 1 ||
      !IsBitDepth(bits) || compression > 6 || dataOffset < 14 + infoSize) {
    return layout;
  }
  const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
  const bool raw = compression == 0 || compression == 3 || compression == 6;
  layout.pixelsEnd = raw ? dataOffset + rowBytes * height : dataOffset + std::uint64_t{imageSize};
  // Some writers leave the file's size 0; the rows then give it.
  layout.fileSize = fileSize != 0 ? fileSize : layout.pixelsEnd;
  if (!raw && imageSize == 0) return layout;
  layout.ok = layout.fileSize > dataOffset && layout.pixelsEnd <= layout.fileSize &&
              layout.fileSize - layout.pixelsEnd <= kMaxTrailing;
  return layout;
}

}  // namespace

bool LooksLikeBmpStart(Bytes start) { return Layout(start).ok; }

ContentExtent WalkBmp(ContentSource& source) {
  const BmpLayout layout = Layout(source.Read(0, 54));
  if (!layout.ok) return ContentExtent::NotThisKind("no bitmap header with sizes that agree");
  if (!SourceFits(source, 0, layout.fileSize)) {
    return ContentExtent::CutShort(source.Size(), "ends before the size its header gives");
  }
  return ContentExtent::Unchecked(layout.fileSize);
}

}  // namespace salvex
