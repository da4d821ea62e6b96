// The input is a run of directory sectors: every entry decoded alone, each
// sector decoded the way the directory walk does (with the sector before it),
// and the whole run decoded the way a found file system is rebuilt.

#include "common/utf.h"
#include "fat/directory_decoder.h"
#include "fat/long_name.h"
#include "fat/short_name.h"
#include "fuzz_support.h"

using namespace salvex;

namespace {

void CheckEntry(Bytes entries, unsigned index, FsType fsType, const EntryLimits& limits) {
  const DirectoryEntry entry = DecodeDirectoryEntry(entries, index, fsType, limits);
  if (entry.verdict != EntryVerdict::item) return;
  const std::optional<std::u16string> longName = AssembleLongName(entries, index);
  const bool decodableLongName = longName && IsDecodableName(*longName);
  const std::u16string shortName = DecodeShortName(Slice(entries, std::size_t{index} * 32, 32));
  FUZZ_CHECK(fuzz::IsUsableName(entry.name));
  FUZZ_CHECK(entry.fault == EntryFault::none);
  FUZZ_CHECK(entry.firstCluster != 0 || !entry.isFolder);  // an empty file has no cluster
  FUZZ_CHECK(limits.lastCluster == 0 || entry.firstCluster <= limits.lastCluster);
  // The short entry, or a clean long name, vouched for the item; a live short
  // entry only needs to be free of control characters.
  FUZZ_CHECK(IsAcceptableShortName(shortName) || (!entry.deletedMark && IsListableLiveShortName(shortName)) ||
             (longName && IsAcceptableName(*longName)));
  // An item's long name, when it can be decoded, is its name; else its short name is.
  FUZZ_CHECK(entry.name == Utf16ToUtf8(decodableLongName ? *longName : shortName));
}

void CheckStore(const ItemStore& store) {
  for (const FatFolderItem& folder : store.FatFolders().Items()) FUZZ_CHECK(fuzz::IsUsableName(folder.name));
  for (const FatFileItem& file : store.FatFiles().Items()) FUZZ_CHECK(fuzz::IsUsableName(file.name));
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
