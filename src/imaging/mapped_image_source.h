#pragma once

#include <memory>

#include "imaging/rescue_map.h"
#include "platform/disk_source.h"

namespace salvex {

// An image read as the disk it was made from: a read that touches a byte
// the image's map does not call finished fails, as the disk's read did (the
// image holds zeros there, not the disk's bytes). Every other read goes to
// the image.
class MappedImageSource final : public DiskSource {
 public:
  MappedImageSource(std::unique_ptr<DiskSource> image, const RescueMap& map) : image_(std::move(image)), map_(map) {}

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override {
    return map_.UnfinishedBytesIn(byteOffset, out.size()) == 0 && image_->ReadAt(byteOffset, out);
  }
  std::uint64_t SizeBytes() const override { return image_->SizeBytes(); }
  // A hole of the image is zeros whether it was read or not.
  std::uint64_t NextDataOffset(std::uint64_t byteOffset) const override { return image_->NextDataOffset(byteOffset); }
  std::uint32_t LogicalSectorBytes() const override { return image_->LogicalSectorBytes(); }
  std::string Name() const override { return image_->Name(); }
  std::optional<FileIdentity> Identity() const override { return image_->Identity(); }

  // Hands the image back.
  std::unique_ptr<DiskSource> TakeImage() { return std::move(image_); }

 private:
  std::unique_ptr<DiskSource> image_;
  const RescueMap& map_;
};

}  // namespace salvex
