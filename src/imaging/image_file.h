#pragma once

#include <memory>
#include <string>

#include "imaging/image_sink.h"
#include "platform/protected_files.h"

namespace salvex {

// The image being written: a regular file, never one of the files being
// read (whatever name or link leads to it), made as long as the source
// (GrowTo) so that what is never read stays zeros (a hole where the file
// system allows).
class ImageFile final : public ImageSink {
 public:
  ~ImageFile() override;
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Opens `path`, creating it when missing, without cutting or growing it:
  // a run that goes on from a map keeps what earlier runs wrote. A file that has
  // bytes already is refused unless `resuming` (a map says what they are).
  // Null with `error` set to a one-line message naming the path.
  static std::unique_ptr<ImageFile> Open(const std::string& path, bool resuming,
                                         const ProtectedFiles& protectedFiles, std::string& error);

  // Makes the file at least `bytes` long. Its first write, as far as the
  // host is concerned: a file system without holes (vfat, exFAT) fills the
  // length with zeros, and may run out of space doing so.
  bool GrowTo(std::uint64_t bytes, std::string& error);

  bool WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes) override;
  bool Sync() override;
  std::string FailureReason() const override;
  // The file system (st_dev) the file lives on.
  dev_t Device() const { return device_; }

 private:
  ImageFile(int fd, dev_t device, std::string path) : fd_(fd), device_(device), path_(std::move(path)) {}

  int fd_;
  dev_t device_;
  std::string path_;
  int lastErrno_ = 0;
};

}  // namespace salvex
