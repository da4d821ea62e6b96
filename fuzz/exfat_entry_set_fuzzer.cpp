// The input is the bytes of one exFAT directory: every entry set decoded
// from it, live and deleted, lies inside it, and its name is valid UTF-8
// (empty only for a set whose entries do not agree).

#include "exfat/exfat_entry_set.h"
#include "fuzz_support.h"

using namespace salvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes directory(data, size);
  for (const bool withDeleted : {false, true}) {
    const ExfatDirectoryContents contents = DecodeExfatDirectory(directory, withDeleted);
    std::size_t end = 0;
    for (const ExfatEntrySet& set : contents.sets) {
      FUZZ_CHECK(set.offset >= end);  // sets do not overlap
      // A File entry and its stream at least; the count is one byte.
      FUZZ_CHECK(set.entryCount >= 2 && set.entryCount <= 256);
      end = set.offset + set.entryCount * kExfatEntrySize;
      FUZZ_CHECK(end <= size);
      FUZZ_CHECK(withDeleted || !set.deleted);
      FUZZ_CHECK((set.incomplete || !set.name.empty()) && fuzz::IsValidUtf8(set.name));
    }
    FUZZ_CHECK(fuzz::IsValidUtf8(contents.label));
  }
  return 0;
}
