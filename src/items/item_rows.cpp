#include "items/item_rows.h"

#include "items/date_format.h"
#include "items/file_type_names.h"

namespace salvex {
namespace {

std::string FolderType(bool deleted) { return deleted ? "Deleted Folder" : "Folder"; }

std::string FileType(const std::string& name, bool deleted) {
  return (deleted ? "Deleted " : "") + FileTypeName(name);
}

}  // namespace

ItemRow FatFolderRow(const FatFolderItem& folder) {
  return {folder.name, FolderType(folder.deleted), "0", FormatDosDate(folder.writeDate),
          FormatDosDate(folder.accessDate), std::to_string(folder.treeNode)};
}

ItemRow FatFileRow(const FatFileItem& file) {
  return {file.name,
          file.labelEntry ? FileType(file.name, file.deleted) + kLabelEntryMark : FileType(file.name, file.deleted),
          std::to_string(file.size),
          FormatDosDate(file.writeDate),
          FormatDosDate(file.accessDate),
          std::to_string(file.id)};
}

ItemRow NtfsFolderRow(const NtfsFolderItem& folder) {
  return {folder.name, FolderType(folder.deleted), "0", FormatFileTime(folder.created),
          FormatFileTime(folder.changed), std::to_string(folder.treeNode)};
}

ItemRow NtfsFileRow(const NtfsFileItem& file) {
  return {file.name,
          FileType(file.name, file.deleted),
          std::to_string(file.size),
          FormatFileTime(file.created),
          FormatFileTime(file.changed),
          std::to_string(file.recordSector)};
}

}  // namespace salvex
