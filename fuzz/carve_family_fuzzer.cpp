// One format family's carving checks (built once per family, the family
// named by SALVEX_FUZZ_FAMILY): the header test on the input's first bytes
// and the walk over the input as a file being carved, copied into a block
// of exactly its size so that ASan sees any read past its end. The verdict
// must stay inside the bytes, be the same when asked twice, and a file
// called whole must be whole again when cut to its own end.

#include <algorithm>
#include <memory>

#include "carve/carve_format.h"
#include "content/content_source.h"
#include "fuzz_support.h"

using namespace salvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const CarveFormat* const format = CarveFormatNamed(SALVEX_FUZZ_FAMILY);
  FUZZ_CHECK(format != nullptr);
  const std::unique_ptr<std::uint8_t[]> file(new std::uint8_t[size == 0 ? 1 : size]);
  std::copy(data, data + size, file.get());
  const Bytes bytes(file.get(), size);

  static_cast<void>(format->header(bytes.first(std::min<std::size_t>(size, 512))));
  SpanSource source(bytes);
  IntactCheckBudget budget{std::uint64_t{1} << 24, std::uint64_t{1} << 26, nullptr, 0};
  const ContentExtent extent = format->walk(source, budget);
  FUZZ_CHECK(extent.soundUpTo <= size);
  if (extent.Ends()) FUZZ_CHECK(extent.end <= size);
  for (const FileSpan& span : extent.damagedSpans) FUZZ_CHECK(span.start <= span.end && span.end <= size);

  SpanSource again(bytes);
  IntactCheckBudget second{std::uint64_t{1} << 24, std::uint64_t{1} << 26, nullptr, 0};
  const ContentExtent repeated = format->walk(again, second);
  FUZZ_CHECK(repeated.soundness == extent.soundness && repeated.end == extent.end &&
             repeated.soundUpTo == extent.soundUpTo);

  if (extent.soundness == Soundness::whole) {
    SpanSource own(bytes.first(static_cast<std::size_t>(extent.end)));
    IntactCheckBudget third{std::uint64_t{1} << 24, std::uint64_t{1} << 26, nullptr, 0};
    const ContentExtent cut = format->walk(own, third);
    FUZZ_CHECK(cut.soundness == Soundness::whole && cut.end == extent.end);
  }
  return 0;
}
