#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "recovery/extraction.h"
#include "platform/faulty_disk_source.h"
#include "platform/host_folder.h"
#include "support/byte_image.h"
#include "support/fat_volume_builder.h"
#include "support/recording_ui_port.h"
#include "support/tool_runner.h"

namespace salvex::testing {

// A geometry for RecoveryBench. FATs of at least a cluster's sectors keep
// the data area from starting before two clusters' worth of sectors, where
// cluster 0 would lie below sector 0.
FatGeometry RecoveryGeometry(FsType type, std::uint32_t sectorsPerCluster, std::uint32_t totalSectors = 4096);

// A crafted FAT volume whose data area holds bytes that differ from cluster to
// cluster, read through a fault-injecting source, with what a recovery needs
// around it: settings, run flags, a recording UI port, a saving view and an
// empty destination folder "out" in a fresh temporary directory.
class RecoveryBench {
 public:
  explicit RecoveryBench(const FatGeometry& geometry);

  // The bytes of `clusters` read from the crafted image, cut to `size`: what
  // a file along those clusters holds.
  std::vector<std::uint8_t> BytesAlong(std::span<const std::uint32_t> clusters, std::uint64_t size) const;
  // The same for `count` clusters in a row from `first`.
  std::vector<std::uint8_t> BytesFrom(std::uint32_t first, std::uint32_t count, std::uint64_t size) const;
  std::uint64_t ClusterBytes() const { return std::uint64_t{fat.Geometry().sectorsPerCluster} * kSectorSize; }

  // Call once the image is crafted: the reader then sees a copy of it.
  FaultyDiskSource& Open();
  ExtractionContext Context() { return {reader, volume, settings, run, ui, *saving, filter}; }
  // The folder tree of `store`, as a scan builds it: recovery copies what it shows.
  static FolderTreeModel TreeOf(ItemStore& store);
  const HostFolder& Out() const { return *out; }
  std::filesystem::path OutPath() const { return dir / "out"; }

  // A recover-mode request for a file of `size` bytes from `firstCluster`,
  // into the destination folder.
  ExtractionRequest Request(const std::string& name, std::uint32_t firstCluster, std::uint64_t size) const;

  ByteImage image;
  FatVolumeBuilder fat;
  VolumeParameters volume;
  RecoverySettings settings;
  SectorReader reader{settings.badSectorRetries};
  RecoveryRunState run;
  RecordingUiPort ui;
  SilentSavingView silentSaving;
  SavingView* saving = &silentSaving;
  FileFilter filter;
  TempDir dir;
  std::unique_ptr<HostFolder> out;
};

// ReadWholeFile as bytes.
std::vector<std::uint8_t> ReadHostFile(const std::filesystem::path& path);

// Every entry below `root` (not following links), as "/"-separated paths
// relative to it; folders end with "/".
std::vector<std::string> TreeBelow(const std::filesystem::path& root);

// A saving dialog whose user presses a button (raises `flag`) as the
// progress reaches its `pressAt`-th update, counting from 1.
class PressingSavingView final : public SavingView {
 public:
  PressingSavingView(std::atomic<bool>& flag, int pressAt) : flag_(flag), pressAt_(pressAt) {}

  void SetPath(std::string_view) override {}
  void SetFileName(std::string_view name) override { names.emplace_back(name); }
  void SetTotalFiles(std::uint32_t) override {}
  void SetProgress(int) override {
    if (++updates == pressAt_) flag_ = true;
  }

  int updates = 0;
  std::vector<std::string> names;

 private:
  std::atomic<bool>& flag_;
  int pressAt_;
};

}  // namespace salvex::testing
