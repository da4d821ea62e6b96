#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// The kinds of file whose own structure says whether they are whole.
enum class CheckedKind {
  none, jpeg, png, gif, bmp, zip, pdf, isoBmff, riff, tiff, mp3, flac, ogg, ole2, rtf, sevenZip, rar, gzip, sqlite
};

// The kind a file is taken for: by its name's extension, else by its first
// bytes. A deleted file whose start is now another file's keeps the kind of
// its name, so that it fails the check instead of escaping it.
CheckedKind CheckedKindOf(std::string_view name, std::span<const std::uint8_t> start);

// What the structure of a file of `kind`, all of whose bytes the source
// holds, says of them (see each kind's walk: WalkJpeg, WalkPng, WalkGif,
// WalkBmp, CheckZip, CheckPdf, WalkIsoBmff, WalkRiff, WalkTiff, WalkMp3,
// WalkFlac, WalkOgg, WalkOle2, WalkRtf, WalkSevenZip, WalkRar, WalkGzip,
// WalkSqlite). The same walks find where a carved file ends; this is the
// one judgement both make.
ContentExtent CheckContent(CheckedKind kind, ContentSource& source, IntactCheckBudget& budget);

// Whether the bytes of a file named `name` hold together as its kind says
// they must: true when CheckContent calls them whole (JPEG coded data
// decoded up to the end-of-image marker, every PNG chunk's CRC, a GIF's
// blocks and LZW codes to its trailer, each ZIP member's CRC-32, a PDF's
// "%%EOF" and cross-reference table, FLAC frames', Ogg pages' and gzip
// members' CRCs); false when they are cut short, damaged (a video whose
// samples are not what its track codes) or not of the kind at all;
// nullopt when the kind is none of those, its bytes carry nothing more to
// check (a bitmap's pixels, a WAV's samples, an MP4's pictures), or the
// check could not judge them (a ZIP64 archive, a member compressed in a
// way not read here, past the budget, stopped).
std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes,
                                IntactCheckBudget& budget);
// The same with a budget of its own.
std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace salvex
