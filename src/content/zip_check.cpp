#include "content/zip_check.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "content/inflate_check.h"

namespace salvex {
namespace {

constexpr std::uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kZip64EndLocator = 0x07064B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxCommentSize = 0xFFFF;

// A member as its central directory entry describes it. Two entries may
// name one local header (an archive built to make its check run forever
// does): its data is checked once, and the entries must agree.
struct MemberClaim {
  std::uint16_t method;
  std::uint32_t crc;
  std::uint32_t packed;
  std::uint32_t size;
  bool operator==(const MemberClaim&) const = default;
};

enum class MemberCheck { matches, differs, stopped };

MemberCheck CheckMemberData(ContentSource& source, std::uint64_t dataStart, const MemberClaim& claim,
                            const std::atomic<bool>* stop) {
  SliceSource data(source, dataStart, claim.packed);
  if (claim.method == 0) {
    if (claim.packed != claim.size) return MemberCheck::differs;
    const std::optional<std::uint32_t> crc = SourceCrc32(data, 0, claim.packed, stop);
    if (!crc) return stop && stop->load(std::memory_order_relaxed) ? MemberCheck::stopped : MemberCheck::differs;
    return *crc == claim.crc ? MemberCheck::matches : MemberCheck::differs;
  }
  const InflateResult inflated = InflateFrom(data, 0, false, claim.size, stop);
  if (inflated.end == InflateResult::End::stopped) return MemberCheck::stopped;
  return inflated.end == InflateResult::End::streamEnd && inflated.produced == claim.size && inflated.crc == claim.crc
             ? MemberCheck::matches
             : MemberCheck::differs;
}

// The offset of the end record: the last one with its signature, at most
// a comment's length before the end.
std::optional<std::uint64_t> FindEndRecordBackwards(ContentSource& source) {
  const std::uint64_t size = source.Size();
  if (size < kEndRecordSize) return std::nullopt;
  const std::uint64_t lowest = size > kEndRecordSize + kMaxCommentSize ? size - kEndRecordSize - kMaxCommentSize : 0;
  const Bytes tail = source.Read(lowest, static_cast<std::size_t>(size - lowest));
  if (tail.size() < kEndRecordSize) return std::nullopt;
  for (std::size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    if (u32le(tail, at) == kEndOfCentralDirectory) return lowest + at;
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeZipStart(Bytes start) {
  if (u32le(start, 0) != kLocalHeader) return false;
  const std::uint16_t version = u16le(start, 4);
  const std::uint16_t method = u16le(start, 8);
  const std::uint16_t nameLength = u16le(start, 26);
  return (version & 0xFF) <= 63 && (method <= 19 || method == 93 || method == 95 || method == 96 || method == 97 ||
                                    method == 98 || method == 99) &&
         nameLength > 0 && nameLength <= 1024;
}

ContentExtent CheckZip(ContentSource& source, IntactCheckBudget& budget) {
  const std::optional<std::uint64_t> end = FindEndRecordBackwards(source);
  if (!end) return ContentExtent::Damaged(0, "no end of central directory");
  const std::uint16_t entries = SourceU16le(source, *end + 10);
  const std::uint32_t directorySize = SourceU32le(source, *end + 12);
  const std::uint32_t directoryStart = SourceU32le(source, *end + 16);
  if (entries == 0xFFFF || directoryStart == 0xFFFFFFFF || directorySize == 0xFFFFFFFF) {
    return ContentExtent::Unjudged(source.Size(), "a ZIP64 archive");
  }
  if (!SourceFits(source, directoryStart, directorySize) || directoryStart + std::uint64_t{directorySize} > *end) {
    return ContentExtent::Damaged(0, "a central directory outside the file");
  }
  bool judged = true;
  bool overBudget = false;
  std::uint64_t spent = 0;  // bytes of member data summed or inflated for this file
  std::unordered_map<std::uint32_t, MemberClaim> checked;
  std::uint64_t at = directoryStart;
  for (std::uint32_t entry = 0; entry < entries; ++entry) {
    const Bytes header = source.Read(at, 46);
    if (u32le(header, 0) != kCentralHeader || header.size() != 46) {
      return ContentExtent::Damaged(0, "a central directory entry without its signature");
    }
    const MemberClaim claim{u16le(header, 10), u32le(header, 16), u32le(header, 20), u32le(header, 24)};
    // Encrypted: the CRC is of what only the password gives.
    const bool encrypted = u16le(header, 8) & 0x1;
    const std::uint16_t nameLength = u16le(header, 28);
    const std::uint64_t entryLength = 46 + std::uint64_t{nameLength} + u16le(header, 30) + u16le(header, 32);
    const std::uint32_t local = u32le(header, 42);
    if (claim.packed == 0xFFFFFFFF || claim.size == 0xFFFFFFFF || local == 0xFFFFFFFF) {
      return ContentExtent::Unjudged(source.Size(), "a ZIP64 member");
    }
    const std::string name = [&] {
      const Bytes bytes = source.Read(at + 46, nameLength);
      return std::string(bytes.begin(), bytes.end());
    }();
    if (name.size() != nameLength || SourceU32le(source, local) != kLocalHeader ||
        !SourceFits(source, local + 30, nameLength) || SourceU16le(source, local + 26) != nameLength ||
        !SourceHasText(source, local + 30, name)) {
      return ContentExtent::Damaged(0, "a member whose local header does not match its entry");
    }
    const std::uint64_t dataStart = local + 30 + std::uint64_t{nameLength} + SourceU16le(source, local + 28);
    if (!SourceFits(source, dataStart, claim.packed)) return ContentExtent::Damaged(0, "a member past the end");
    at += entryLength;
    if (const auto seen = checked.find(local); seen != checked.end()) {
      if (seen->second != claim) return ContentExtent::Damaged(0, "two entries of one member that disagree");
      continue;
    }
    checked.emplace(local, claim);
    if (encrypted || (claim.method != 0 && claim.method != 8)) {
      judged = false;
      continue;
    }
    // Past the budget the rest is only checked for its structure.
    const std::uint64_t cost = claim.method == 0 ? claim.packed : claim.size;
    if (cost > budget.perFile - std::min(spent, budget.perFile) || cost > budget.leftInRun) {
      judged = false;
      overBudget = true;
      continue;
    }
    spent += cost;
    budget.leftInRun -= cost;
    switch (CheckMemberData(source, dataStart, claim, budget.stop)) {
      case MemberCheck::matches: break;
      case MemberCheck::differs:
        // The other members may still be whole: the archive stands, the
        // member is the damage.
        return ContentExtent::DamagedIn(source.Size(), {{local, dataStart + claim.packed}},
                                        "a member whose data does not give its CRC-32");
      case MemberCheck::stopped: return ContentExtent::Unjudged(source.Size(), "stopped");
    }
  }
  if (overBudget) ++budget.filesOverBudget;
  return judged ? ContentExtent::Whole(source.Size()) : ContentExtent::Unjudged(source.Size(), "members not read here");
}

namespace {

constexpr std::uint32_t kZip64EndRecord = 0x06064B50;
// A ZIP without ZIP64 records ends within 4 GiB of its start; the search
// for its end goes a little further for those with them.
constexpr std::uint64_t kMaxEndSearch = std::uint64_t{8} << 30;

// Whether the end record at `at` is the one of an archive that starts at
// byte 0: its central directory ends just before it (or before its ZIP64
// records).
bool EndRecordFits(ContentSource& source, std::uint64_t at) {
  const std::uint32_t directorySize = SourceU32le(source, at + 12);
  const std::uint32_t directoryStart = SourceU32le(source, at + 16);
  if (directorySize != 0xFFFFFFFF && directoryStart != 0xFFFFFFFF) {
    return std::uint64_t{directoryStart} + directorySize == at &&
           (directorySize == 0 || SourceU32le(source, directoryStart) == kCentralHeader);
  }
  if (at < 20 || SourceU32le(source, at - 20) != kZip64EndLocator) return false;
  const std::uint64_t record = SourceU64le(source, at - 12);
  if (record >= at || SourceU32le(source, record) != kZip64EndRecord) return false;
  const std::uint64_t size64 = SourceU64le(source, record + 40);
  const std::uint64_t start64 = SourceU64le(source, record + 48);
  return start64 <= record && size64 == record - start64;
}

// What the members make of the archive: the first member's "mimetype" of
// ODF and EPUB, else the names its central directory lists.
const char* ZipExtension(ContentSource& source, std::uint64_t endRecord) {
  const std::uint16_t nameLength = SourceU16le(source, 26);
  if (nameLength == 8 && SourceHasText(source, 30, "mimetype") && SourceU16le(source, 8) == 0) {
    const std::uint64_t data = 30 + std::uint64_t{nameLength} + SourceU16le(source, 28);
    const Bytes type = source.Read(data, std::min<std::uint32_t>(SourceU32le(source, 18), 128));
    const std::string mime(type.begin(), type.end());
    if (mime == "application/epub+zip") return "epub";
    if (mime == "application/vnd.oasis.opendocument.text") return "odt";
    if (mime == "application/vnd.oasis.opendocument.spreadsheet") return "ods";
    if (mime == "application/vnd.oasis.opendocument.presentation") return "odp";
    if (mime == "application/vnd.oasis.opendocument.graphics") return "odg";
  }
  bool contentTypes = false;
  const char* office = nullptr;
  bool manifest = false;
  bool android = false;
  std::uint64_t at = SourceU32le(source, endRecord + 16);
  const std::uint16_t entries = SourceU16le(source, endRecord + 10);
  for (std::uint32_t entry = 0; entry < entries && entry < 4096 && at < endRecord; ++entry) {
    if (SourceU32le(source, at) != kCentralHeader) break;
    const std::uint16_t length = SourceU16le(source, at + 28);
    const Bytes name = source.Read(at + 46, length);
    const std::string_view text(reinterpret_cast<const char*>(name.data()), name.size());
    contentTypes = contentTypes || text == "[Content_Types].xml";
    if (!office && text.starts_with("word/")) office = "docx";
    if (!office && text.starts_with("xl/")) office = "xlsx";
    if (!office && text.starts_with("ppt/")) office = "pptx";
    manifest = manifest || text == "META-INF/MANIFEST.MF";
    android = android || text == "AndroidManifest.xml";
    at += 46 + std::uint64_t{length} + SourceU16le(source, at + 30) + SourceU16le(source, at + 32);
  }
  if (contentTypes && office) return office;
  if (android) return "apk";
  if (manifest) return "jar";
  return "zip";
}

// How far the members from the start hold by their local headers alone
// (sizes given there, no data descriptor): what a cut archive keeps.
std::uint64_t LocalMembersEnd(ContentSource& source) {
  std::uint64_t at = 0;
  while (SourceU32le(source, at) == kLocalHeader && (SourceU16le(source, at + 6) & 0x8) == 0) {
    const std::uint64_t next = at + 30 + std::uint64_t{SourceU16le(source, at + 26)} + SourceU16le(source, at + 28) +
                               SourceU32le(source, at + 18);
    if (!SourceFits(source, 0, next)) break;
    at = next;
  }
  return at;
}

}  // namespace

ContentExtent WalkZip(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeZipStart(source.Read(0, 30))) return ContentExtent::NotThisKind("no local file header");
  const std::uint64_t limit = std::min(source.Size(), kMaxEndSearch);
  std::optional<std::uint64_t> end;
  std::uint64_t endRecord = 0;
  for (std::uint64_t at = 0; at + kEndRecordSize <= limit && !end;) {
    if (budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const Bytes window = source.Read(at, kMaxSourceRead);
    if (window.size() < 4) break;
    for (std::size_t i = 0; i + 4 <= window.size(); ++i) {
      if (window[i] != 'P' || window[i + 1] != 'K' || window[i + 2] != 5 || window[i + 3] != 6) continue;
      const std::uint64_t record = at + i;
      const std::uint64_t recordEnd = record + kEndRecordSize + SourceU16le(source, record + 20);
      if (SourceFits(source, 0, recordEnd) && EndRecordFits(source, record)) {
        end = recordEnd;
        endRecord = record;
        break;
      }
    }
    at += window.size() - 3;
  }
  if (!end) return ContentExtent::CutShort(LocalMembersEnd(source), "no end of central directory after it");
  SliceSource archive(source, 0, *end);
  ContentExtent checked = CheckZip(archive, budget);
  checked.extension = ZipExtension(source, endRecord);
  if (checked.Ends()) checked.end = *end;
  return checked;
}

}  // namespace salvex
