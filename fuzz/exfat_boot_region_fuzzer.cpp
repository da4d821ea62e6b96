// The input is a small disk holding one exFAT volume at sector 0: the boot
// region choice, then, when a region is taken, the whole Standard Scan over
// it (bitmap, directories, entry sets, folder tree).

#include <algorithm>

#include "fuzz_support.h"
#include "items/folder_tree_model.h"
#include "scan_input.h"
#include "volume/exfat_boot_region.h"

using namespace salvex;

namespace {

constexpr std::uint32_t kMaxRangeSectors = 4096;

void CheckChoice(const ExfatBootFields& fields) {
  FUZZ_CHECK(fields.bytesPerSectorShift >= 9 && fields.bytesPerSectorShift <= 12);
  FUZZ_CHECK(fields.sectorsPerClusterShift + fields.bytesPerSectorShift <= 25);
  FUZZ_CHECK(fields.fatOffset <= UINT32_MAX && fields.fatLength <= UINT32_MAX);
  FUZZ_CHECK(fields.clusterCount != 0);
  FUZZ_CHECK(fields.rootCluster >= 2 && fields.rootCluster - 2 < fields.clusterCount);
  FUZZ_CHECK(fields.clusterHeapOffset < fields.volumeLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes disk(data, size);
  const auto choice = ChooseExfatBootRegion(disk);
  if (choice) CheckChoice(choice->fields);
  const auto sectors = static_cast<std::uint32_t>(std::min<std::size_t>(size / kSectorSize, kMaxRangeSectors));
  if (sectors == 0) return 0;
  Session session;
  fuzz::OpenInput(session, data, size);
  FolderTreeModel tree;
  const StandardScanOutcome outcome = fuzz::ScanWholeInput(session, FsType::exfat, sectors, tree);
  FUZZ_CHECK((outcome == StandardScanOutcome::completed) == choice.has_value());
  const ItemStore& store = session.items;
  FUZZ_CHECK(store.counters.folderCount == store.FatFolders().Size());
  FUZZ_CHECK(store.counters.fileCount == store.FatFiles().Size());
  for (const FatFileItem& file : store.FatFiles().Items()) {
    FUZZ_CHECK(fuzz::IsValidUtf8(file.name));
    FUZZ_CHECK(file.validSize <= file.size);
  }
  for (const FatFolderItem& folder : store.FatFolders().Items()) {
    FUZZ_CHECK(fuzz::IsValidUtf8(folder.name));
    FUZZ_CHECK(folder.firstCluster >= 2);
  }
  return 0;
}
