#include "wizard/list_summary.h"

#include "wizard/size_text.h"

namespace salvex::wizard {
namespace {

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

ListCounts CountRows(const ItemListModel& rows) {
  ListCounts counts;
  for (std::size_t row = 0; row < rows.RowCount(); ++row) {
    if (rows.At(row).folder) {
      ++counts.folders;
    } else {
      ++counts.files;
    }
    if (rows.IsDeleted(row)) ++counts.deleted;
  }
  counts.hiddenByFilters = rows.HiddenByFilters();
  counts.hiddenByView = rows.HiddenByView();
  return counts;
}

std::string ListCountsText(const ListCounts& counts) {
  std::string text = Counted(counts.folders, "folder", "folders") + ", " + Counted(counts.files, "file", "files");
  if (counts.deleted > 0) text += ", " + std::to_string(counts.deleted) + " deleted";
  // A filter that hides files says so, with how many: an empty folder must
  // not pass for one with nothing found.
  if (counts.hiddenByFilters > 0) text += "; " + Counted(counts.hiddenByFilters, "file", "files") + " hidden by File Filters";
  if (counts.hiddenByView > 0) text += "; " + Counted(counts.hiddenByView, "item", "items") + " hidden by the view filter";
  return text;
}

std::string MarkedText(std::uint64_t files, std::uint64_t bytes) {
  return std::to_string(files) + (files == 1 ? " file marked, " : " files marked, ") + SizeText(bytes);
}

std::string SelectionText(const ItemListModel& rows, const std::vector<std::size_t>& selected) {
  if (selected.empty()) return {};
  std::uint64_t bytes = 0;
  for (const std::size_t row : selected) {
    if (row < rows.RowCount()) bytes += rows.FileSize(row);
  }
  return std::to_string(selected.size()) + " selected, " + SizeText(bytes);
}

}  // namespace salvex::wizard
