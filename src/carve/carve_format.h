#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// Bytes a file of a family starts with, `at` bytes into it.
struct CarveSignature {
  std::uint8_t at = 0;
  std::string_view bytes;
};

// How one family of formats is carved: where its files may start (the
// first-bytes table is built from the signatures, and the header test then
// looks closer), and how far one goes and whether it holds together (the
// walk of src/content, the same one the intact checks make).
struct CarveFormat {
  // The name --types takes and the folder files named by their content go
  // to; its files' extension unless the walk says another.
  std::string_view family;
  std::vector<std::string_view> aliases;  // other names --types takes for it
  std::vector<CarveSignature> signatures;
  // Whether the first bytes at hand (a sector's worth, fewer at the disk's
  // end) can start a file of the family.
  bool (*header)(Bytes start) = nullptr;
  // Where a file starting at the source's first byte ends, and whether it
  // holds together.
  ContentExtent (*walk)(ContentSource& source, IntactCheckBudget& budget) = nullptr;
  // The signature is rare enough to look for at every byte, not only where
  // a sector begins: pictures and documents inside other files or after
  // bytes of their own.
  bool searchedEverywhere = false;
  // Files start with text, whatever its first bytes: the table takes
  // every pair of text bytes for a signature.
  bool startsWithText = false;
  // Tried only where a block (a cluster) begins, not at every sector.
  bool onlyAtBlockStarts = false;
  // Other files may lie inside one (a Word document's pictures): looked
  // for there at every byte.
  bool holdsFiles = false;
  // Damage in what it carries is seen only some way after it begins (coded
  // data decodes on through foreign bytes for a while): a damaged file is
  // cut at the block where the failure was seen, not just before it.
  bool damageSeenLate = false;
  // Its end is only where its data stops (frames, text): one that stops
  // just where the bytes at hand do is taken for cut there.
  bool openEnded = false;
  // Nothing in what it carries can tell another file's bytes from its own,
  // so a sector inside it that starts another file (by that file's header)
  // is where it was overwritten.
  bool cutAtOtherStarts = false;
};

// Every family carved, in the order tried where several could start at one
// place.
const std::vector<CarveFormat>& CarveFormats();

// The family named `name` (its family name or an alias, case ignored);
// nothing for a name no family has.
const CarveFormat* CarveFormatNamed(std::string_view name);

// The families of one family each, by their place in CarveFormats(), as
// bits.
using FamilySet = std::uint64_t;
inline constexpr FamilySet kAllFamilies = ~FamilySet{0};

// The family's bit.
FamilySet FamilyBit(const CarveFormat& format);

}  // namespace salvex
