#include "content/intact_check.h"

#include <string>

#include "content/archive_checks.h"
#include "content/bmp_check.h"
#include "content/flac_check.h"
#include "content/gif_check.h"
#include "content/iso_bmff_check.h"
#include "content/jpeg_check.h"
#include "content/mp3_check.h"
#include "content/ogg_check.h"
#include "content/ole2_check.h"
#include "content/pdf_check.h"
#include "content/png_check.h"
#include "content/riff_check.h"
#include "content/rtf_check.h"
#include "content/sqlite_check.h"
#include "content/tiff_check.h"
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
    {"mp4", CheckedKind::isoBmff}, {"mov", CheckedKind::isoBmff}, {"m4a", CheckedKind::isoBmff},
    {"m4v", CheckedKind::isoBmff}, {"3gp", CheckedKind::isoBmff}, {"heic", CheckedKind::isoBmff},
    {"avif", CheckedKind::isoBmff}, {"cr3", CheckedKind::isoBmff}, {"avi", CheckedKind::riff},
    {"wav", CheckedKind::riff},   {"webp", CheckedKind::riff},  {"tif", CheckedKind::tiff},
    {"tiff", CheckedKind::tiff},  {"cr2", CheckedKind::tiff},   {"nef", CheckedKind::tiff},
    {"arw", CheckedKind::tiff},   {"dng", CheckedKind::tiff},   {"orf", CheckedKind::tiff},
    {"rw2", CheckedKind::tiff},   {"pef", CheckedKind::tiff},   {"mp3", CheckedKind::mp3},
    {"flac", CheckedKind::flac},  {"ogg", CheckedKind::ogg},    {"oga", CheckedKind::ogg},
    {"ogv", CheckedKind::ogg},    {"opus", CheckedKind::ogg},   {"doc", CheckedKind::ole2},
    {"xls", CheckedKind::ole2},   {"ppt", CheckedKind::ole2},   {"msg", CheckedKind::ole2},
    {"rtf", CheckedKind::rtf},    {"7z", CheckedKind::sevenZip}, {"rar", CheckedKind::rar},
    {"gz", CheckedKind::gzip},    {"tgz", CheckedKind::gzip},   {"sqlite", CheckedKind::sqlite},
    {"sqlite3", CheckedKind::sqlite}, {"db", CheckedKind::sqlite},
};

// The kinds told by their first bytes, the strongest signatures first.
struct StartKind {
  bool (*looksLike)(Bytes start);
  CheckedKind kind;
};

constexpr StartKind kStarts[] = {
    {LooksLikePngStart, CheckedKind::png},        {LooksLikeGifStart, CheckedKind::gif},
    {LooksLikeZipStart, CheckedKind::zip},        {LooksLikePdfStart, CheckedKind::pdf},
    {LooksLikeIsoBmffStart, CheckedKind::isoBmff}, {LooksLikeRiffStart, CheckedKind::riff},
    {LooksLikeOle2Start, CheckedKind::ole2},      {LooksLikeFlacStart, CheckedKind::flac},
    {LooksLikeOggStart, CheckedKind::ogg},        {LooksLikeSevenZipStart, CheckedKind::sevenZip},
    {LooksLikeRarStart, CheckedKind::rar},        {LooksLikeGzipStart, CheckedKind::gzip},
    {LooksLikeSqliteStart, CheckedKind::sqlite},  {LooksLikeRtfStart, CheckedKind::rtf},
    {LooksLikeTiffStart, CheckedKind::tiff},      {LooksLikeMp3Start, CheckedKind::mp3},
    {LooksLikeBmpStart, CheckedKind::bmp},
};

}  // namespace

CheckedKind CheckedKindOf(std::string_view name, std::span<const std::uint8_t> start) {
  const std::string extension = LowerExtension(name);
  for (const ExtensionKind& known : kExtensions) {
    if (known.extension == extension) return known.kind;
  }
  if (u8(start, 0) == 0xFF && u8(start, 1) == 0xD8 && u8(start, 2) == 0xFF) return CheckedKind::jpeg;
  if (HasText(start, 0, "PK\x03\x04")) return CheckedKind::zip;
  if (HasText(start, 0, "%PDF-")) return CheckedKind::pdf;
  for (const StartKind& known : kStarts) {
    if (known.looksLike(start)) return known.kind;
  }
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
    case CheckedKind::isoBmff: return WalkIsoBmff(source, budget);
    case CheckedKind::riff: return WalkRiff(source, budget);
    case CheckedKind::tiff: return WalkTiff(source, budget);
    case CheckedKind::mp3: return WalkMp3(source, budget);
    case CheckedKind::flac: return WalkFlac(source, budget);
    case CheckedKind::ogg: return WalkOgg(source, budget);
    case CheckedKind::ole2: return WalkOle2(source, budget);
    case CheckedKind::rtf: return WalkRtf(source, budget);
    case CheckedKind::sevenZip: return WalkSevenZip(source, budget);
    case CheckedKind::rar: return WalkRar(source, budget);
    case CheckedKind::gzip: return WalkGzip(source, budget);
    case CheckedKind::sqlite: return WalkSqlite(source, budget);
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
