// The input's first byte picks the name the file is judged under (one of each
// kind, and one that leaves the kind to the bytes); the rest is the file,
// copied into a block of exactly its size so that ASan sees any read past
// its end. The verdict must not depend on anything but the bytes and name,
// and a file of another kind's name is still judged without a fault; a
// smaller budget only ever takes a verdict away.

#include <array>
#include <memory>
#include <vector>

#include "content/intact_check.h"
#include "fuzz_support.h"

using namespace salvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<const char*, 7> kNames = {"a.jpg", "a.png", "a.gif", "a.docx", "a.pdf", "a.bin", "A"};
  if (size == 0) return 0;
  const char* name = kNames[data[0] % kNames.size()];
  const std::size_t length = size - 1;
  const std::unique_ptr<std::uint8_t[]> file(new std::uint8_t[length == 0 ? 1 : length]);
  std::copy(data + 1, data + size, file.get());
  const std::span<const std::uint8_t> bytes(file.get(), length);

  const std::optional<bool> verdict = LooksIntact(name, bytes);
  FUZZ_CHECK(LooksIntact(name, bytes) == verdict);
  if (CheckedKindOf(name, bytes) == CheckedKind::none) FUZZ_CHECK(!verdict.has_value());
  // A small budget may leave a file unjudged, never judge it otherwise.
  IntactCheckBudget small{4096, 8192, nullptr, 0};
  const std::optional<bool> budgeted = LooksIntact(name, bytes, small);
  FUZZ_CHECK(!budgeted.has_value() || budgeted == verdict);
  return 0;
}
