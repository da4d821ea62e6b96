#include "carve/carve_pass.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "carve/claimed_ranges.h"
#include "carve/content_name.h"
#include "carve/first_bytes_table.h"
#include "carve/iso_bmff_fragments.h"
#include "carve/jpeg_fragments.h"
#include "carve/pieces_source.h"
#include "carve/zip_fragments.h"
#include "common/sector.h"

namespace salvex {
namespace {

// The bytes a header test and the first-bytes table look at.
constexpr std::size_t kHeaderBytes = kSectorSize;

struct Candidate {
  std::uint64_t offset = 0;
  FamilySet families = 0;
  bool sectorStart = false;
};

class CarvePass {
 public:
  CarvePass(CarveReader& disk, const CarveArea& area, const CarveSettings& settings, CarveSink& sink,
            IntactCheckBudget& budget)
      : disk_(disk),
        area_(area),
        settings_(settings),
        sink_(sink),
        budget_(budget),
        table_(settings.families),
        everyFamily_(kAllFamilies) {
    // Only headers that random pixels or samples hardly ever make cut a
    // file: not text, nor an MPEG frame header.
    for (const CarveFormat& format : CarveFormats()) {
      if (!format.cutAtOtherStarts && !format.startsWithText && !format.openEnded) strongStarts_ |= FamilyBit(format);
    }
  }

  CarvePassResult Run() {
    CarvePassResult result;
    CarveProgress progress;
    progress.bytesTotal = area_.OpenBytes();
    std::uint64_t doneBefore = 0;
    for (ByteRange run = area_.OpenRunFrom(area_.first); run.start < area_.end; run = area_.OpenRunFrom(run.end)) {
      std::uint64_t at = run.start;
      while (at < run.end) {
        if (budget_.Stopped()) {
          result.stopped = true;
          result.bytesPassed = doneBefore + (at - run.start);
          result.filesFound = found_;
          return result;
        }
        const std::uint64_t blockEnd = std::min(run.end, (at / CarveReader::kBlockBytes + 1) * CarveReader::kBlockBytes);
        at = std::max(ScanStretch(at, blockEnd), blockEnd);
        claims_.ForgetBefore(at);
        progress.bytesDone = doneBefore + (std::min(at, run.end) - run.start);
        progress.filesFound = found_;
        sink_.Progress(progress);
      }
      doneBefore += run.Size();
    }
    result.bytesPassed = doneBefore;
    result.filesFound = found_;
    return result;
  }

 private:
  // The candidates of [from, to): every sector start the table knows, and
  // every byte where a family searched for everywhere has its signature.
  std::vector<Candidate> CandidatesIn(std::uint64_t from, std::uint64_t to) {
    std::vector<Candidate> candidates;
    const Bytes chunk = disk_.Read(from, static_cast<std::size_t>(to - from));
    const std::uint64_t firstSector = (from + kSectorSize - 1) / kSectorSize * kSectorSize;
    for (std::uint64_t sector = firstSector; sector < from + chunk.size(); sector += kSectorSize) {
      const FamilySet families = table_.Candidates(chunk.subspan(static_cast<std::size_t>(sector - from)));
      if (families != 0) candidates.push_back({sector, families, true});
    }
    const std::size_t sectorHits = candidates.size();
    for (const std::uint8_t lead : table_.EverywhereLeadBytes()) {
      const std::uint8_t* const begin = chunk.data();
      const std::uint8_t* const end = begin + chunk.size();
      for (const std::uint8_t* p = begin; p < end;) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, lead, static_cast<std::size_t>(end - p)));
        if (!p) break;
        const std::uint64_t offset = from + static_cast<std::uint64_t>(p - begin);
        if (offset % kSectorSize != 0) {
          const FamilySet families = table_.EverywhereCandidates(chunk.subspan(static_cast<std::size_t>(p - begin)));
          if (families != 0) candidates.push_back({offset, families, false});
        }
        ++p;
      }
    }
    if (candidates.size() > sectorHits) {
      std::sort(candidates.begin(), candidates.end(),
                [](const Candidate& a, const Candidate& b) { return a.offset < b.offset; });
    }
    return candidates;
  }

  // Tries the candidates of [from, to) in order; the position the pass has
  // reached after them (past a file carved, which may reach beyond `to`).
  std::uint64_t ScanStretch(std::uint64_t from, std::uint64_t to) {
    std::uint64_t at = from;
    for (const Candidate& candidate : CandidatesIn(from, to)) {
      if (candidate.offset < at) continue;
      if (budget_.Stopped()) break;
      const std::optional<ClaimedRanges::Claim> claim = claims_.At(candidate.offset);
      bool inside = false;
      if (claim) {
        if (!claim->holdsFiles) {
          at = std::max(at, claim->range.end);
          continue;
        }
        inside = true;
      }
      const bool embedded = inside || !candidate.sectorStart;
      if (const std::optional<CarvedFile> file = TryAt(candidate, embedded)) {
        if (!file->joined || file->pieces.front().start == candidate.offset) {
          at = std::max(at, file->pieces.front().end);
        }
      }
    }
    return at;
  }

  std::optional<CarvedFile> TryAt(const Candidate& candidate, bool embedded) {
    if (!embedded && settings_.listed && !settings_.includeListed && settings_.listed->LiveStartsAt(candidate.offset)) {
      return std::nullopt;
    }
    std::array<std::uint8_t, kHeaderBytes> header{};
    const Bytes bytes = disk_.Read(candidate.offset, kHeaderBytes);
    std::copy(bytes.begin(), bytes.end(), header.begin());
    const Bytes start(header.data(), bytes.size());
    for (const CarveFormat& format : CarveFormats()) {
      if ((candidate.families & FamilyBit(format)) == 0) continue;
      if (embedded && !format.searchedEverywhere) continue;
      if (format.onlyAtBlockStarts && !area_.IsBlockStart(candidate.offset)) continue;
      if (!format.header(start)) continue;
      std::optional<CarvedFile> file = Carve(format, candidate.offset, embedded);
      if (!file) continue;
      Emit(*file);
      return file;
    }
    return std::nullopt;
  }

  // The deleted file of the scan that started at `offset` and could be a
  // file of `extension`: same extension, or one of the same family.
  const ListedFile* EntryAt(std::uint64_t offset, const CarveFormat& format, const std::string& extension) const {
    if (!settings_.listed || !area_.IsBlockStart(offset)) return nullptr;
    for (const ListedFile* file : settings_.listed->DeletedAt(offset)) {
      const std::string named = LowerExtensionOf(file->path);
      if (named == extension || CarveFormatNamed(named) == &format) return file;
    }
    return nullptr;
  }

  CarveCut CutAt(std::uint64_t start, std::uint64_t limit) const {
    if (limit >= area_.end) return CarveCut::areaEnd;
    if (area_.IsLive(limit) && !area_.IsLive(start)) return CarveCut::liveClusters;
    return CarveCut::areaEnd;
  }

  std::optional<CarvedFile> Carve(const CarveFormat& format, std::uint64_t at, bool embedded) {
    const std::uint64_t limit = area_.SameStateEnd(at);
    PiecesSource source(disk_, {{at, limit}});
    ContentExtent extent = format.walk(source, budget_);
    if (extent.soundness == Soundness::notThisKind) return std::nullopt;
    if (format.openEnded && extent.Ends() && extent.end == source.Size() && limit < area_.end) {
      extent = ContentExtent::CutShort(extent.end, "its data stops where the free clusters do");
    }
    CarvedFile file;
    file.format = &format;
    file.extension = extent.extension ? extent.extension : std::string(format.family);
    file.embedded = embedded;
    file.soundness = extent.soundness;
    file.why = extent.why;
    const ListedFile* entry = embedded ? nullptr : EntryAt(at, format, file.extension);
    std::uint64_t size = 0;
    if (extent.Ends()) {
      size = extent.end;
      // Bytes past the structure's end up to the entry's size are the
      // file's own (a second picture, a trailer a camera adds).
      if (entry && extent.end <= entry->size) {
        size = std::min(entry->size, limit - at);
      } else {
        entry = nullptr;
      }
    } else {
      if (embedded) return std::nullopt;
      if (extent.soundness == Soundness::cutShort) {
        size = source.Size();
        file.cut = CutAt(at, limit);
      } else if (extent.end > 0 && !extent.damagedSpans.empty()) {
        // Still mostly there, its structure whole: kept to its end, with
        // the stretches that fail listed.
        size = extent.end;
        file.damagedSpans = extent.damagedSpans;
        file.cut = CarveCut::damaged;
      } else {
        size = extent.soundUpTo;
        // The damage began where a block did, most likely: what the block
        // holds up to the failure is not the file's.
        if (format.damageSeenLate) {
          const std::uint64_t block = area_.BlockStart(at + extent.soundUpTo);
          if (block > at) size = block - at;
        }
        file.cut = CarveCut::damaged;
      }
      if (entry && entry->size < size) size = entry->size;
    }
    file.pieces = {{at, at + size}};
    file.size = size;
    file.entry = entry;
    if (format.cutAtOtherStarts) CutAtOtherStarts(file);
    if (file.Partial() && settings_.joinFragments) {
      std::optional<CarvedFile> joined;
      if (format.family == "jpg") joined = JoinJpegPieces(disk_, area_, claims_, file, budget_);
      if (format.family == "zip") joined = JoinZipPieces(disk_, area_, claims_, file, budget_);
      if (format.family == "mp4") joined = JoinIsoBmffPieces(disk_, area_, claims_, file, budget_);
      if (joined) file = *joined;
    }
    if (file.Partial() && file.size < kMinPartialBytes) return std::nullopt;
    if (!file.entry) {
      PiecesSource bytes(disk_, file.pieces);
      file.contentName = ContentNameOf(format, bytes);
    }
    for (const ByteRange& piece : file.pieces) file.unreadableSectors += disk_.UnreadableIn(piece.start, piece.end);
    return file;
  }

  // A file whose payload carries no check ends, at the latest, at a sector
  // inside it that starts a file of a family whose header is telling.
  void CutAtOtherStarts(CarvedFile& file) {
    const std::uint64_t start = file.FirstByte();
    const std::uint64_t first = (start / kSectorSize + 1) * kSectorSize;
    for (std::uint64_t sector = first; sector < start + file.size; sector += kSectorSize) {
      std::array<std::uint8_t, kHeaderBytes> header{};
      const Bytes bytes = disk_.Read(sector, kHeaderBytes);
      std::copy(bytes.begin(), bytes.end(), header.begin());
      const Bytes sectorStart(header.data(), bytes.size());
      const FamilySet families = everyFamily_.Candidates(sectorStart) & strongStarts_;
      if (families == 0) continue;
      for (const CarveFormat& format : CarveFormats()) {
        if ((families & FamilyBit(format)) == 0 || !format.header(sectorStart)) continue;
        file.size = sector - start;
        file.pieces = {{start, sector}};
        file.soundness = Soundness::damaged;
        file.cut = CarveCut::otherFileStart;
        file.why = "another file starts inside it";
        return;
      }
    }
  }

  void Emit(const CarvedFile& file) {
    for (const ByteRange& piece : file.pieces) claims_.Add(piece, file.format->holdsFiles);
    ++found_;
    sink_.Found(file);
  }

  CarveReader& disk_;
  const CarveArea& area_;
  const CarveSettings& settings_;
  CarveSink& sink_;
  IntactCheckBudget& budget_;
  FirstBytesTable table_;
  FirstBytesTable everyFamily_;  // for the starts that cut a file, whatever families are carved
  FamilySet strongStarts_ = 0;
  ClaimedRanges claims_;
  std::uint32_t found_ = 0;
};

}  // namespace

CarvePassResult RunCarvePass(CarveReader& disk, const CarveArea& area, const CarveSettings& settings, CarveSink& sink,
                             IntactCheckBudget& budget) {
  return CarvePass(disk, area, settings, sink, budget).Run();
}

}  // namespace salvex
