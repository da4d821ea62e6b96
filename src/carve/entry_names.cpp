#include "carve/entry_names.h"

#include <algorithm>

namespace salvex {

void ListedFiles::Add(ListedFile file) {
  byStart_.emplace(file.firstByte, files_.size());
  files_.push_back(std::move(file));
}

std::vector<const ListedFile*> ListedFiles::DeletedAt(std::uint64_t offset) const {
  std::vector<std::size_t> positions;
  const auto [from, to] = byStart_.equal_range(offset);
  for (auto it = from; it != to; ++it) {
    if (files_[it->second].deleted) positions.push_back(it->second);
  }
  std::sort(positions.rbegin(), positions.rend());
  std::vector<const ListedFile*> found;
  for (const std::size_t position : positions) found.push_back(&files_[position]);
  return found;
}

bool ListedFiles::LiveStartsAt(std::uint64_t offset) const {
  const auto [from, to] = byStart_.equal_range(offset);
  return std::any_of(from, to, [&](const auto& entry) { return !files_[entry.second].deleted; });
}

std::string LowerExtensionOf(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

}  // namespace salvex
