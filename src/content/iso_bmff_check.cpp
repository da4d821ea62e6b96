#include "content/iso_bmff_check.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace salvex {
namespace {

constexpr std::uint32_t Type(const char (&name)[5]) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[2])) << 8 | static_cast<std::uint8_t>(name[3]);
}

// The boxes that may stand at a file's top level.
constexpr std::uint32_t kTopLevel[] = {
    Type("ftyp"), Type("styp"), Type("moov"), Type("mdat"), Type("free"), Type("skip"), Type("wide"),
    Type("uuid"), Type("meta"), Type("moof"), Type("mfra"), Type("sidx"), Type("ssix"), Type("prft"),
    Type("pdin"), Type("pnot"), Type("udta"), Type("junk"), Type("emsg")};

constexpr std::size_t kMaxBoxes = 100000;
constexpr std::size_t kMaxTracks = 64;
constexpr std::uint64_t kMaxSamples = 20'000'000;
constexpr int kMaxNalsPerSample = 4096;

struct Box {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint64_t payload = 0;  // where its content begins
  std::uint32_t type = 0;
};

// The box at `at` inside a parent that ends at `limit`; a size of 0 runs
// to the parent's end. Nothing when its header does not fit or its size is
// less than its header.
std::optional<Box> ReadBox(ContentSource& source, std::uint64_t at, std::uint64_t limit) {
  if (at >= limit || limit - at < 8 || !SourceFits(source, at, 8)) return std::nullopt;
  const std::uint32_t size32 = SourceU32be(source, at);
  Box box;
  box.start = at;
  box.type = SourceU32be(source, at + 4);
  std::uint64_t size = size32;
  box.payload = at + 8;
  if (size32 == 1) {
    if (limit - at < 16 || !SourceFits(source, at, 16)) return std::nullopt;
    size = SourceU64be(source, at + 8);
    box.payload = at + 16;
  } else if (size32 == 0) {
    size = limit - at;
  }
  if (size < box.payload - at || size > limit - at) return std::nullopt;
  box.end = at + size;
  return box;
}

std::optional<Box> Child(ContentSource& source, const Box& parent, std::uint32_t type, std::uint64_t skip = 0) {
  std::uint64_t at = parent.payload + skip;
  for (std::size_t i = 0; i < kMaxBoxes; ++i) {
    const std::optional<Box> box = ReadBox(source, at, parent.end);
    if (!box) return std::nullopt;
    if (box->type == type) return box;
    at = box->end;
  }
  return std::nullopt;
}

std::optional<Box> Path(ContentSource& source, Box box, std::initializer_list<std::uint32_t> types) {
  for (const std::uint32_t type : types) {
    const std::optional<Box> child = Child(source, box, type);
    if (!child) return std::nullopt;
    box = *child;
  }
  return box;
}

const char* ExtensionOf(std::uint32_t brand, bool quickTime) {
  if (quickTime || brand == Type("qt  ")) return "mov";
  switch (brand) {
    case Type("M4A "): case Type("M4B "): return "m4a";
    case Type("M4V "): return "m4v";
    case Type("heic"): case Type("heix"): case Type("hevc"): case Type("heim"): case Type("heis"):
    case Type("mif1"): case Type("msf1"): return "heic";
    case Type("avif"): case Type("avis"): return "avif";
    case Type("crx "): return "cr3";
    default: break;
  }
  if ((brand >> 8) == (Type("3gp ") >> 8) || (brand >> 8) == (Type("3g2 ") >> 8)) return "3gp";
  return "mp4";
}

// How the samples of a track are made up, where it can be told.
enum class Framing { none, nalUnits, hevcNalUnits, jpeg };

struct Track {
  Framing framing = Framing::none;
  int lengthSize = 4;
  Box stsz, stsc, chunks;
  bool wideOffsets = false;  // co64
};

std::optional<Track> ReadTrack(ContentSource& source, const Box& trak) {
  const std::optional<Box> stbl = Path(source, trak, {Type("mdia"), Type("minf"), Type("stbl")});
  if (!stbl) return std::nullopt;
  Track track;
  const std::optional<Box> stsz = Child(source, *stbl, Type("stsz"));
  const std::optional<Box> stsc = Child(source, *stbl, Type("stsc"));
  std::optional<Box> chunks = Child(source, *stbl, Type("stco"));
  if (!chunks) {
    chunks = Child(source, *stbl, Type("co64"));
    track.wideOffsets = true;
  }
  if (!stsz || !stsc || !chunks) return std::nullopt;
  track.stsz = *stsz;
  track.stsc = *stsc;
  track.chunks = *chunks;
  if (const std::optional<Box> stsd = Child(source, *stbl, Type("stsd"))) {
    // The first sample entry, after the version and entry count; a visual
    // entry's own boxes follow its 78 bytes of fields.
    if (const std::optional<Box> entry = ReadBox(source, stsd->payload + 8, stsd->end)) {
      const std::uint32_t codec = entry->type;
      Box fields = *entry;
      fields.payload = entry->payload + 78;
      if (codec == Type("avc1") || codec == Type("avc3")) {
        if (const std::optional<Box> config = Child(source, fields, Type("avcC"))) {
          track.framing = Framing::nalUnits;
          track.lengthSize = (SourceU8(source, config->payload + 4) & 3) + 1;
        }
      } else if (codec == Type("hvc1") || codec == Type("hev1")) {
        if (const std::optional<Box> config = Child(source, fields, Type("hvcC"))) {
          track.framing = Framing::hevcNalUnits;
          track.lengthSize = (SourceU8(source, config->payload + 21) & 3) + 1;
        }
      } else if (codec == Type("jpeg") || codec == Type("mjpa")) {
        track.framing = Framing::jpeg;
      }
    }
  }
  if (track.lengthSize == 3) track.framing = Framing::none;  // not a length size H.264 allows
  return track;
}

// Whether a sample's bytes are what its track's coding makes.
bool SampleFrames(ContentSource& source, const Track& track, std::uint64_t at, std::uint64_t size) {
  if (track.framing == Framing::jpeg) return SourceU16be(source, at) == 0xFFD8;
  const std::uint64_t end = at + size;
  for (int nal = 0; at < end; ++nal) {
    if (nal >= kMaxNalsPerSample || end - at < static_cast<std::uint64_t>(track.lengthSize) + 1) return false;
    std::uint64_t length = 0;
    const Bytes field = source.Read(at, static_cast<std::size_t>(track.lengthSize) + 2);
    if (field.size() < static_cast<std::size_t>(track.lengthSize) + 1) return false;
    for (int i = 0; i < track.lengthSize; ++i) length = length << 8 | field[static_cast<std::size_t>(i)];
    const std::uint8_t header = field[static_cast<std::size_t>(track.lengthSize)];
    if (length == 0 || (header & 0x80) != 0) return false;
    if (track.framing == Framing::nalUnits && (header & 0x1F) == 0) return false;
    if (track.framing == Framing::hevcNalUnits && ((header >> 1) & 0x3F) > 40) return false;
    at += static_cast<std::uint64_t>(track.lengthSize) + length;
  }
  return at == end;
}

struct SampleCheck {
  bool outside = false;  // a chunk outside the media data: the tables are not this file's
  bool stopped = false;
  std::vector<FileSpan> damaged;
};

void AddDamage(std::vector<FileSpan>& spans, std::uint64_t start, std::uint64_t end) {
  for (FileSpan& span : spans) {
    if (start <= span.end && end >= span.start) {
      span.start = std::min(span.start, start);
      span.end = std::max(span.end, end);
      return;
    }
  }
  spans.push_back({start, end});
}

void CheckTrack(ContentSource& source, const Track& track, const std::vector<Box>& media, IntactCheckBudget& budget,
                SampleCheck& check) {
  const std::uint32_t uniformSize = SourceU32be(source, track.stsz.payload + 4);
  const std::uint64_t samples = std::min<std::uint64_t>(SourceU32be(source, track.stsz.payload + 8), kMaxSamples);
  if (uniformSize == 0 && !SourceFits(source, track.stsz.payload + 12, samples * 4)) return;
  const std::uint32_t runs = SourceU32be(source, track.stsc.payload + 4);
  const std::uint64_t chunks = SourceU32be(source, track.chunks.payload + 4);
  const std::uint64_t offsetBytes = track.wideOffsets ? 8 : 4;
  if (!SourceFits(source, track.stsc.payload + 8, std::uint64_t{runs} * 12) ||
      !SourceFits(source, track.chunks.payload + 8, chunks * offsetBytes) || runs == 0) {
    return;
  }
  std::uint64_t sample = 0;
  std::uint32_t run = 0;
  for (std::uint64_t chunk = 1; chunk <= chunks && sample < samples; ++chunk) {
    while (run + 1 < runs && SourceU32be(source, track.stsc.payload + 8 + std::uint64_t{run + 1} * 12) <= chunk) ++run;
    const std::uint32_t perChunk = SourceU32be(source, track.stsc.payload + 8 + std::uint64_t{run} * 12 + 4);
    const std::uint64_t entry = track.chunks.payload + 8 + (chunk - 1) * offsetBytes;
    std::uint64_t at = track.wideOffsets ? SourceU64be(source, entry) : SourceU32be(source, entry);
    for (std::uint32_t i = 0; i < perChunk && sample < samples; ++i, ++sample) {
      if (sample % 4096 == 0 && budget.Stopped()) {
        check.stopped = true;
        return;
      }
      const std::uint64_t size = uniformSize != 0 ? uniformSize : SourceU32be(source, track.stsz.payload + 12 + sample * 4);
      const bool inside = std::any_of(media.begin(), media.end(), [&](const Box& mdat) {
        return at >= mdat.payload && at <= mdat.end && size <= mdat.end - at;
      });
      if (!inside) {
        check.outside = true;
        return;
      }
      if (track.framing != Framing::none && size > 0 && !SampleFrames(source, track, at, size)) {
        AddDamage(check.damaged, at, at + size);
      }
      at += size;
    }
  }
}

}  // namespace

bool LooksLikeIsoBmffStart(Bytes start) {
  const std::uint32_t size = u32be(start, 0);
  const std::uint32_t type = u32be(start, 4);
  if (type == Type("ftyp")) return size >= 16 && size <= 4096 && u32be(start, 8) != 0;
  if (type == Type("moov")) return size >= 16 && u32be(start, 12) == Type("mvhd");
  if (type == Type("wide")) return size == 8 && u32be(start, 12) == Type("mdat");
  return false;
}

ContentExtent WalkIsoBmff(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeIsoBmffStart(source.Read(0, 16))) return ContentExtent::NotThisKind("no ftyp or moov box first");
  const bool quickTime = SourceU32be(source, 4) != Type("ftyp");
  const std::uint32_t brand = quickTime ? 0 : SourceU32be(source, 8);
  std::optional<Box> movie;
  bool items = false;  // a "meta" box at the top: a picture file (HEIC, AVIF) with items, not a movie
  std::vector<Box> media;
  std::uint64_t at = 0;
  for (std::size_t count = 0; count < kMaxBoxes && at < source.Size(); ++count) {
    const std::uint32_t type = SourceU32be(source, at + 4);
    if (std::find(std::begin(kTopLevel), std::end(kTopLevel), type) == std::end(kTopLevel)) break;
    const std::uint32_t size32 = SourceU32be(source, at);
    const std::uint64_t size = size32 == 1 ? SourceU64be(source, at + 8) : size32;
    if (size32 == 0 || (size32 != 1 && size32 < 8) || (size32 == 1 && size < 16)) break;
    if (!SourceFits(source, at, size)) {
      ContentExtent cut = ContentExtent::CutShort(at, "a box runs past the bytes at hand");
      cut.extension = ExtensionOf(brand, quickTime);
      return cut;
    }
    const std::optional<Box> box = ReadBox(source, at, at + size);
    if (!box) break;
    if (type == Type("moov") && !movie) movie = box;
    if (type == Type("meta")) items = true;
    if (type == Type("mdat")) media.push_back(*box);
    at = box->end;
  }
  const std::uint64_t end = at;
  ContentExtent extent;
  if (!movie && items) {
    extent = ContentExtent::Unchecked(end);
  } else if (!movie) {
    extent = ContentExtent::CutShort(end, "no movie box among the boxes at hand");
  } else {
    SampleCheck check;
    std::size_t tracks = 0;
    std::uint64_t next = movie->payload;
    for (std::size_t i = 0; i < kMaxBoxes && tracks < kMaxTracks; ++i) {
      const std::optional<Box> box = ReadBox(source, next, movie->end);
      if (!box) break;
      next = box->end;
      if (box->type != Type("trak")) continue;
      ++tracks;
      if (const std::optional<Track> track = ReadTrack(source, *box)) CheckTrack(source, *track, media, budget, check);
      if (check.outside || check.stopped) break;
    }
    if (check.stopped) {
      extent = ContentExtent::Unjudged(end, "stopped");
    } else if (check.outside) {
      extent = ContentExtent::Damaged(0, "its sample tables point outside its media data");
    } else if (!check.damaged.empty()) {
      std::sort(check.damaged.begin(), check.damaged.end(),
                [](const FileSpan& a, const FileSpan& b) { return a.start < b.start; });
      extent = ContentExtent::DamagedIn(end, std::move(check.damaged), "samples that are not what their track codes");
    } else {
      extent = ContentExtent::Unchecked(end);
    }
  }
  extent.extension = ExtensionOf(brand, quickTime);
  return extent;
}

}  // namespace salvex
