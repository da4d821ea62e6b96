#include "content/intact_check.h"

#include <string>

#include "content/bmp_check.h"
#include "content/gif_check.h"
#include "content/jpeg_check.h"
#include "content/pdf_check.h"
#include "content/png_check.h"
#include "content/zip_check.h"

namespace salvex {
namespace {

std::string LowerExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

struct ExtensionKind {
  std::string_view extension;
  CheckedKind kind;
};

constexpr ExtensionKind kExtensions[] = {
    {"jpg", CheckedKind::jpeg},  {"jpeg", CheckedKind::jpeg}, {"jpe", CheckedKind::jpeg}, {"jfif", CheckedKind::jpeg},
    {"png", CheckedKind::png},   {"gif", CheckedKind::gif},   {"bmp", CheckedKind::bmp},  {"dib", CheckedKind::bmp},
    {"zip", CheckedKind::zip},   {"docx", CheckedKind::zip},  {"xlsx", CheckedKind::zip}, {"pptx", CheckedKind::zip},
    {"odt", CheckedKind::zip},   {"ods", CheckedKind::zip},   {"odp", CheckedKind::zip},  {"odg", CheckedKind::zip},
    {"epub", CheckedKind::zip},  {"jar", CheckedKind::zip},   {"apk", CheckedKind::zip},  {"pdf", CheckedKind::pdf},
};

}  // namespace

CheckedKind CheckedKindOf(std::string_view name, std::span<const std::uint8_t> start) {
  const std::string extension = LowerExtension(name);
  for (const ExtensionKind& known : kExtensions) {
    if (known.extension == extension) return known.kind;
  }
  if (u8(start, 0) == 0xFF && u8(start, 1) == 0xD8 && u8(start, 2) == 0xFF) return CheckedKind::jpeg;
  if (HasText(start, 0, "\x89PNG\r\n\x1A\n")) return CheckedKind::png;
  if (HasText(start, 0, "GIF87a") || HasText(start, 0, "GIF89a")) return CheckedKind::gif;
  if (HasText(start, 0, "PK\x03\x04")) return CheckedKind::zip;
  if (HasText(start, 0, "%PDF-")) return CheckedKind::pdf;
  if (LooksLikeBmpStart(start)) return CheckedKind::bmp;
  return CheckedKind::none;
}

ContentExtent CheckContent(CheckedKind kind, ContentSource& source, IntactCheckBudget& budget) {
  switch (kind) {
    case CheckedKind::none: break;
    case CheckedKind::jpeg: return WalkJpeg(source).extent;
    case CheckedKind::png: return WalkPng(source);
    case CheckedKind::gif: return WalkGif(source);
    case CheckedKind::bmp: return WalkBmp(source);
    case CheckedKind::zip: return CheckZip(source, budget);
    case CheckedKind::pdf: return CheckPdf(source);
  }
  return ContentExtent::Unjudged(source.Size(), "a kind not checked");
}

std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes,
                                IntactCheckBudget& budget) {
  if (budget.Stopped()) return std::nullopt;
  const CheckedKind kind = CheckedKindOf(name, bytes);
  if (kind == CheckedKind::none) return std::nullopt;
  SpanSource source(bytes);
  switch (CheckContent(kind, source, budget).soundness) {
    case Soundness::whole: return true;
    case Soundness::unchecked:
    case Soundness::unjudged: return std::nullopt;
    case Soundness::notThisKind:
    case Soundness::cutShort:
    case Soundness::damaged: return false;
  }
  return std::nullopt;
}

std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes) {
  IntactCheckBudget budget;
  return LooksIntact(name, bytes, budget);
}

}  // namespace salvex
