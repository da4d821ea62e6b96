// The input is a run of directory sectors: every entry decoded alone, each
// sector decoded the way the directory walk does (with the sector before it),
// and the whole run decoded the way a found file system is rebuilt.

#include "common/utf.h"
#include "fat/directory_decoder.h"
#include "fat/long_name.h"
#include "fuzz_support.h"

using namespace salvex;

namespace {

void CheckEntry(Bytes entries, unsigned index, FsType fsType, const EntryLimits& limits) {
  const DirectoryEntry entry = DecodeDirectoryEntry(entries, index, fsType, limits);
  const std::optional<std::u16string> longName = AssembleLongName(entries, index);
  const bool acceptableLongName = longName && IsAcceptableName(*longName);
  if (entry.verdict != EntryVerdict::item) return;
  FUZZ_CHECK(fuzz::IsCleanName(entry.name));
  FUZZ_CHECK(entry.fault == EntryFault::none);
  FUZZ_CHECK(entry.firstCluster != 0);
  FUZZ_CHECK(limits.lastCluster == 0 || entry.firstCluster <= limits.lastCluster);
  // An item's long name, when it has one, is its name.
  FUZZ_CHECK(!longName || (acceptableLongName && entry.name == Utf16ToUtf8(*longName)));
}

void CheckStore(const ItemStore& store) {
  for (const FatFolderItem& folder : store.FatFolders().Items()) FUZZ_CHECK(fuzz::IsCleanName(folder.name));
  for (const FatFileItem& file : store.FatFiles().Items()) FUZZ_CHECK(fuzz::IsCleanName(file.name));
  FUZZ_CHECK(store.counters.folderCount == store.FatFolders().Size());
  FUZZ_CHECK(store.counters.fileCount == store.FatFiles().Size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input(data, size);
  const auto entryCount = static_cast<unsigned>(size / 32);
  const EntryLimits limits{entryCount + 1, size};
  for (unsigned index = 0; index < entryCount; ++index) {
    CheckEntry(input, index, FsType::fat16, EntryLimits{});
    CheckEntry(input, index, FsType::fat32, limits);
  }

  ItemStore store;
  SilentUiPort ui;
  DirectoryDecodeContext context{store, FsType::fat32, limits, &ui, entryCount + 1};
  Bytes previous;
  for (std::size_t offset = 0; offset < size; offset += kSectorSize) {
    const Bytes sector = Slice(input, offset, std::min(kSectorSize, size - offset));
    // Odd sectors stand for a deleted folder's: all they hold is deleted.
    const bool inheritedDeleted = (offset / kSectorSize) % 2 == 1;
    const std::size_t foldersBefore = store.FatFolders().Size();
    const std::size_t filesBefore = store.FatFiles().Size();
    DecodeDirectorySector(context, sector, 0, static_cast<std::uint32_t>(offset / kSectorSize), inheritedDeleted, 0,
                          previous);
    for (std::size_t i = foldersBefore; i < store.FatFolders().Size(); ++i) {
      FUZZ_CHECK(!inheritedDeleted || store.FatFolders().Items()[i].deleted);
    }
    for (std::size_t i = filesBefore; i < store.FatFiles().Size(); ++i) {
      FUZZ_CHECK(!inheritedDeleted || store.FatFiles().Items()[i].deleted);
    }
    previous = sector;
  }
  CheckStore(store);

  context.ui = nullptr;
  DecodeDirectorySectors(context, input, 0, false, 0);
  CheckStore(store);
  return 0;
}
