#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "items/item_rows.h"
#include "items/item_store.h"

namespace salvex {

// What differs between the FAT and the NTFS halves of the store, for code
// that works on either: the lists, the key of a folder and the parent key of
// an item, the root key, and the list rows.
struct FatKind {
  using Folder = FatFolderItem;
  using File = FatFileItem;
  static constexpr std::uint32_t kRootKey = kFatRootKey;
  static constexpr const char* kKeyName = "firstCluster";

  static const ItemList<Folder>& Folders(const ItemStore& store) { return store.FatFolders(); }
  static const ItemList<File>& Files(const ItemStore& store) { return store.FatFiles(); }
  static std::uint32_t KeyOf(const Folder& folder) { return folder.firstCluster; }
  static std::uint32_t KeyOf(const File& file) { return file.firstCluster; }
  // The parent key its children are filed under.
  static std::uint32_t ChildrenKey(const Folder& folder) { return ChildrenKeyOf(folder); }
  static std::uint32_t ParentOf(const Folder& folder) { return folder.parentCluster; }
  static std::uint32_t ParentOf(const File& file) { return file.parentCluster; }
  static std::uint64_t IdOf(const File& file) { return file.id; }
  // A deleted file whose cleared high word fits no free clusters.
  static bool Recoverable(const File& file) { return !file.noClusterFits; }
  static bool Overwritten(const File& file) { return file.overwritten; }
  static bool Overwritten(const Folder& folder) { return folder.overwritten; }
  static bool ClusterInferred(const File& file) { return file.clusterInferred; }
  static bool LabelEntry(const File& file) { return file.labelEntry; }
  static bool FragmentInferred(const File& file) { return file.fragmentInferred; }
  static bool ChainAssumed(const File& file) { return file.chainAssumed; }
  static bool NameIncomplete(const File& file) { return file.nameIncomplete; }
  static std::string_view Stream(const File&) { return {}; }
  static std::span<const std::uint32_t> ConflictsWith(const File& file) { return file.conflictsWith; }
  static bool BeyondVolume(const File&) { return false; }
  // A file found by its content: where its bytes lie, and its doubts.
  static const CarvedPlacement* Carved(const File& file) { return file.carved.get(); }
  static constexpr const char* kNotRecoverableNote = "  (its first cluster is lost: not recoverable)";
  static std::optional<std::uint32_t> FindFolder(const ItemStore& store, std::uint32_t key) {
    return store.FindFatFolder(key);
  }
  static ItemRow Row(const Folder& folder) { return FatFolderRow(folder); }
  static ItemRow Row(const File& file) { return FatFileRow(file); }
};

struct NtfsKind {
  using Folder = NtfsFolderItem;
  using File = NtfsFileItem;
  static constexpr std::uint32_t kRootKey = kNtfsRootKey;
  static constexpr const char* kKeyName = "recordNumber";

  static const ItemList<Folder>& Folders(const ItemStore& store) { return store.NtfsFolders(); }
  static const ItemList<File>& Files(const ItemStore& store) { return store.NtfsFiles(); }
  static std::uint32_t KeyOf(const Folder& folder) { return folder.recordNumber; }
  static std::uint32_t KeyOf(const File& file) { return file.recordNumber; }
  static std::uint32_t ChildrenKey(const Folder& folder) { return folder.recordNumber; }
  static std::uint32_t ParentOf(const Folder& folder) { return folder.parentRecord; }
  static std::uint32_t ParentOf(const File& file) { return file.parentRecord; }
  static std::uint64_t IdOf(const File& file) { return file.recordSector; }
  // NTFS-compressed or encrypted clusters are not the user's bytes.
  static bool Recoverable(const File& file) { return !file.compressedOrEncrypted; }
  static bool Overwritten(const File&) { return false; }
  static bool Overwritten(const Folder&) { return false; }
  static bool ClusterInferred(const File&) { return false; }
  static bool LabelEntry(const File&) { return false; }
  static bool FragmentInferred(const File&) { return false; }
  static bool ChainAssumed(const File&) { return false; }
  static bool NameIncomplete(const File&) { return false; }
  static std::string_view Stream(const File& file) { return file.stream; }
  static std::span<const std::uint32_t> ConflictsWith(const File&) { return {}; }
  static bool BeyondVolume(const File& file) { return file.beyondVolume; }
  static const CarvedPlacement* Carved(const File&) { return nullptr; }
  static constexpr const char* kNotRecoverableNote = "  (compressed or encrypted by NTFS: not recoverable)";
  static std::optional<std::uint32_t> FindFolder(const ItemStore& store, std::uint32_t key) {
    return store.FindNtfsFolder(key);
  }
  static ItemRow Row(const Folder& folder) { return NtfsFolderRow(folder); }
  static ItemRow Row(const File& file) { return NtfsFileRow(file); }
};

}  // namespace salvex
