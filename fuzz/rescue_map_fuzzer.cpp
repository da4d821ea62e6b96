// The input is the text of a ddrescue mapfile. A map that is accepted must
// cover [0, extent) with blocks that follow each other, neighbours of
// different statuses and totals that add up; written back and read again it
// must be the same map; and its queries must agree with its blocks.

#include <string_view>

#include "fuzz_support.h"
#include "imaging/map_text.h"

using namespace salvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ParsedMap parsed = ParseRescueMap(text);
  FUZZ_CHECK(parsed.map.has_value() == parsed.error.empty());
  if (!parsed.map) return 0;
  const RescueMap& map = *parsed.map;

  std::uint64_t end = 0;
  std::uint64_t unfinished = 0;
  MapTotals totals;
  const auto blocks = map.Blocks();
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    FUZZ_CHECK(blocks[i].pos == end && blocks[i].size > 0);
    FUZZ_CHECK(i == 0 || blocks[i].status != blocks[i - 1].status);
    end = blocks[i].End();
    totals.bytes[MapTotals::Index(blocks[i].status)] += blocks[i].size;
    if (blocks[i].status != BlockStatus::finished) unfinished += blocks[i].size;
  }
  FUZZ_CHECK(end == map.Extent());
  for (int status = 0; status < 5; ++status) FUZZ_CHECK(totals.bytes[status] == map.Totals().bytes[status]);
  FUZZ_CHECK(map.UnfinishedBytesIn(0, map.Extent()) == unfinished);
  FUZZ_CHECK((map.UnfinishedSectorsIn(0, map.Extent() / 512 + 1, 512) > 0) ==
             (unfinished > 0 || map.Extent() % 512 == 0));

  const ParsedMap again = ParseRescueMap(FormatRescueMap(map, {"fuzz", "fuzz", "", ""}));
  FUZZ_CHECK(again.map && again.map->Blocks() == blocks);
  FUZZ_CHECK(again.map->currentPos == map.currentPos && again.map->phase == map.phase);
  return 0;
}
