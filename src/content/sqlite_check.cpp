#include "content/sqlite_check.h"

#include <unordered_set>
#include <vector>

namespace salvex {
namespace {

constexpr std::uint64_t kMaxPages = 1u << 26;
constexpr std::size_t kMaxVisited = 1u << 20;

std::uint32_t PageSize(Bytes header) {
  const std::uint16_t raw = u16be(header, 16);
  return raw == 1 ? 65536u : raw;
}

bool IsInterior(std::uint8_t type) { return type == 0x02 || type == 0x05; }
bool IsBtree(std::uint8_t type) { return type == 0x02 || type == 0x05 || type == 0x0A || type == 0x0D; }

}  // namespace

bool LooksLikeSqliteStart(Bytes start) {
  if (start.size() < 100 || !HasText(start, 0, "SQLite format 3")) return false;
  const std::uint32_t page = PageSize(start);
  return u8(start, 15) == 0 && page >= 512 && (page & (page - 1)) == 0 && u8(start, 21) == 64 && u8(start, 22) == 32 &&
         u8(start, 23) == 32;
}

ContentExtent WalkSqlite(ContentSource& source, IntactCheckBudget& budget) {
  const Bytes start = source.Read(0, 100);
  if (!LooksLikeSqliteStart(start)) return ContentExtent::NotThisKind("no SQLite header");
  const std::uint32_t pageSize = PageSize(start);
  const std::uint64_t pages = u32be(start, 28);
  // The page count is current only when the counter that changes with it
  // equals the one stored beside it.
  if (pages == 0 || pages > kMaxPages || u32be(start, 24) != u32be(start, 92)) {
    return ContentExtent::CutShort(0, "no page count it can be sized by");
  }
  const std::uint64_t end = pages * pageSize;
  if (!SourceFits(source, 0, end)) return ContentExtent::CutShort(0, "ends before its last page");
  // The tree of the schema from page 1 (whose header follows the file's).
  std::vector<std::uint32_t> pending{1};
  std::unordered_set<std::uint32_t> visited;
  while (!pending.empty()) {
    if (budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const std::uint32_t page = pending.back();
    pending.pop_back();
    if (page == 0 || page > pages || visited.size() >= kMaxVisited || !visited.insert(page).second) {
      return ContentExtent::Damaged(0, "a b-tree child out of the database or reached twice");
    }
    const std::uint64_t offset = std::uint64_t{page - 1} * pageSize;
    const std::uint64_t header = offset + (page == 1 ? 100 : 0);
    const std::uint8_t type = SourceU8(source, header);
    if (!IsBtree(type)) return ContentExtent::Damaged(offset, "a b-tree page of no kind SQLite has");
    if (!IsInterior(type)) continue;
    const std::uint16_t cells = SourceU16be(source, header + 3);
    pending.push_back(SourceU32be(source, header + 8));  // the right-most child
    for (std::uint16_t cell = 0; cell < cells; ++cell) {
      const std::uint16_t pointer = SourceU16be(source, header + 12 + 2u * cell);
      if (pointer >= pageSize) return ContentExtent::Damaged(offset, "a cell outside its page");
      pending.push_back(SourceU32be(source, offset + pointer));
    }
  }
  return ContentExtent::Unchecked(end);
}

}  // namespace salvex
