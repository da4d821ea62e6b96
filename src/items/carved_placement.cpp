#include "items/carved_placement.h"

namespace salvex {

std::uint64_t CarvedPlacement::ExtentBytes() const {
  std::uint64_t total = 0;
  for (const DiskExtent& extent : extents) {
    total = extent.length > UINT64_MAX - total ? UINT64_MAX : total + extent.length;
  }
  return total;
}

namespace {

const char* CutText(CarvedCut cut) {
  switch (cut) {
    case CarvedCut::none: break;
    case CarvedCut::damaged: return "cut short where its content stops holding together";
    case CarvedCut::liveClusters: return "cut short where a live file's clusters begin";
    case CarvedCut::otherFileStart: return "cut short where another file begins";
    case CarvedCut::areaEnd: return "cut short where the area searched ends";
  }
  return "cut short";
}

}  // namespace

std::vector<std::string> CarvedDoubts(const CarvedPlacement& placement) {
  std::vector<std::string> doubts;
  // A damaged file kept whole says where, below, rather than that it was cut.
  if (placement.verdict == CarvedVerdict::partial && placement.damagedSpans.empty()) doubts.push_back(std::string(CutText(placement.cut)) + ": only its sound start");
  if (placement.joined) {
    doubts.push_back("put together from " + std::to_string(placement.extents.size()) +
                     " pieces found apart: where it was split is a guess");
  }
  if (!placement.damagedSpans.empty()) {
    std::string spans;
    for (const CarvedSpan& span : placement.damagedSpans) {
      spans += (spans.empty() ? "" : ", ") + std::to_string(span.start) + "-" + std::to_string(span.end);
    }
    doubts.push_back("kept whole, but damaged in bytes " + spans);
  }
  return doubts;
}

}  // namespace salvex
