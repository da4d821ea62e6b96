#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace salvex {

// A file a scan lists, as a carve needs to know it: where its first
// cluster lies on the disk, its size and, for a deleted one, the name,
// folder and dates a carved file found there takes.
struct ListedFile {
  std::uint64_t firstByte = 0;  // the first byte of its first cluster on the disk
  std::uint64_t size = 0;
  std::string path;             // from the volume's root, "/"-separated, as recovery writes it
  std::uint16_t writeDate = 0;  // DOS date and time
  std::uint16_t writeTime = 0;
  bool deleted = false;
};

// The listed files by where they start. A carved file that starts where a
// deleted file did is that file (when their kinds agree and its size holds
// what the carve found); one that starts where a live file does is that
// live file, listed by name already.
class ListedFiles {
 public:
  void Add(ListedFile file);

  // The deleted files that started at `offset`, most recently listed first.
  std::vector<const ListedFile*> DeletedAt(std::uint64_t offset) const;
  // Whether a live file starts at `offset`.
  bool LiveStartsAt(std::uint64_t offset) const;
  std::size_t Size() const { return files_.size(); }

 private:
  std::vector<ListedFile> files_;
  std::unordered_multimap<std::uint64_t, std::size_t> byStart_;
};

// The lower-case extension of a name ("IMG_0001.JPG" gives "jpg"); empty
// when it has none.
std::string LowerExtensionOf(std::string_view name);

}  // namespace salvex
