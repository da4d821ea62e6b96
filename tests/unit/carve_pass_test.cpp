// The carve pass over disks made here: each family found whole where it
// lies, files inside other bytes, files cut by damage, by live clusters
// and by another file's start, names taken from deleted entries, live
// files left alone, and Stop.

#include "carve/carve_pass.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/carve_disk.h"
#include "support/container_writers.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"
#include "support/stream_writers.h"

namespace salvex {
namespace {

using testing::CarveDisk;
using testing::FileBytes;

struct FamilyCase {
  const char* name;
  const char* family;
  std::function<FileBytes()> make;
  Soundness expected;
};

FileBytes Jpeg(int seed = 1) { return testing::WriteJpeg({320, 240, true, 0, 85, static_cast<std::uint32_t>(seed)}); }

const FamilyCase kFamilies[] = {
    {"Jpeg", "jpg", [] { return Jpeg(); }, Soundness::whole},
    {"Png", "png", [] { return testing::WritePng(200, 150, 2); }, Soundness::whole},
    {"Gif", "gif", [] { return testing::WriteGif(120, 90, 3); }, Soundness::whole},
    {"Bmp", "bmp", [] { return testing::WriteBmp(90, 70, 4); }, Soundness::unchecked},
    {"Pdf", "pdf", [] { return testing::WritePdf(4, 5); }, Soundness::whole},
    {"Zip", "zip",
     [] { return testing::WriteZip({{"notes.txt", testing::Noise(5000, 6), true}, {"raw.bin", testing::Noise(3000, 7), false}}); },
     Soundness::whole},
    {"Mp4", "mp4", [] { return testing::WriteMp4(40, 8); }, Soundness::unchecked},
    {"Mp4MovieFirst", "mp4", [] { return testing::WriteMp4(30, 9, true); }, Soundness::unchecked},
    {"Avi", "avi", [] { return testing::WriteAvi(30, 10); }, Soundness::unchecked},
    {"Wav", "wav", [] { return testing::WriteWav(20000, 11); }, Soundness::unchecked},
    {"Webp", "wav", [] { return testing::WriteWebp(9000, 12); }, Soundness::unchecked},
    {"Tiff", "tif", [] { return testing::WriteTiff(120, 90, 13); }, Soundness::unchecked},
    {"Mp3", "mp3", [] { return testing::WriteMp3(60, 14, true); }, Soundness::unchecked},
    {"Mp3WithoutTag", "mp3", [] { return testing::WriteMp3(60, 15, false); }, Soundness::unchecked},
    {"Flac", "flac", [] { return testing::WriteFlac(12, 16); }, Soundness::whole},
    {"Ogg", "ogg", [] { return testing::WriteOgg(12, 17); }, Soundness::whole},
    {"Ole2", "ole", [] { return testing::WriteOle2(20000, {}, 0, 18); }, Soundness::unchecked},
    {"SevenZip", "7z", [] { return testing::WriteSevenZip(30000, 19); }, Soundness::unchecked},
    {"Rar", "rar", [] { return testing::WriteRar5(25000, 20); }, Soundness::unchecked},
    {"Gzip", "gz", [] { return testing::WriteGzip(40000, 21); }, Soundness::whole},
};

class CarveFamilyTest : public ::testing::TestWithParam<FamilyCase> {};

// Between noise and another file, at a sector, the file comes back byte
// for byte and nothing else is made of the noise.
TEST_P(CarveFamilyTest, FoundWholeWhereItLies) {
  const FamilyCase& c = GetParam();
  const FileBytes file = c.make();
  CarveDisk disk(1 << 20);
  disk.Put(0, testing::Noise(64 * 512, 9));
  disk.Put(64 * 512, file);
  // The file's last sector is ended by zeros, as in a cluster's slack.
  const FileBytes other = Jpeg(2);
  const std::size_t otherAt = (64 * 512 + file.size() + 4095) / 4096 * 4096 + 4096;
  disk.Put(otherAt, other);

  const CarveDisk::Found found = disk.Carve();

  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.files[0].format->family, c.family);
  EXPECT_EQ(found.files[0].soundness, c.expected) << found.files[0].why;
  EXPECT_EQ(found.files[0].FirstByte(), 64u * 512);
  EXPECT_EQ(found.contents[0], file);
  EXPECT_FALSE(found.files[0].embedded);
  EXPECT_EQ(found.files[1].FirstByte(), otherAt);
  EXPECT_EQ(found.contents[1], other);
}

INSTANTIATE_TEST_SUITE_P(Families, CarveFamilyTest, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<FamilyCase>& param) { return std::string(param.param.name); });

// A picture that follows bytes of its own (1,572 of them), not at a sector.
TEST(CarvePass, FindsAPictureThatStartsInsideASector) {
  const FileBytes picture = Jpeg(3);
  CarveDisk disk(1 << 20);
  disk.Put(8192, testing::Noise(1572, 4));
  disk.Put(8192 + 1572, picture);

  const CarveDisk::Found found = disk.Carve();

  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].FirstByte(), 8192u + 1572);
  EXPECT_TRUE(found.files[0].embedded);
  EXPECT_EQ(found.files[0].soundness, Soundness::whole);
  EXPECT_EQ(found.contents[0], picture);
}

constexpr std::uint32_t kCluster = 4096;
constexpr std::uint64_t kBase = 16 * kCluster;

struct DamageCase {
  const char* name;
  std::function<FileBytes()> make;
  // Lays the file at cluster 2 of a disk and damages it; the live clusters.
  std::function<std::vector<std::uint64_t>(CarveDisk&, const FileBytes&)> damage;
  CarveCut cut;
  // What the partial file keeps: at least and at most this many bytes.
  std::uint64_t keptAtLeast;
  std::uint64_t keptAtMost;
};

const std::string kMinutes = "Minutes of the meeting: bring the slides, room 4 at 10:30.\n";

FileBytes Text(std::size_t size) {
  FileBytes text;
  while (text.size() < size) text.insert(text.end(), kMinutes.begin(), kMinutes.end());
  text.resize(size);
  return text;
}

const DamageCase kDamages[] = {
    {"JpegWithATextClusterInItsMiddle", [] { return testing::WriteJpeg({800, 600, true, 0, 90, 5}); },
     [](CarveDisk& disk, const FileBytes&) {
       disk.Put(kBase + 6 * kCluster, Text(kCluster));
       return std::vector<std::uint64_t>{};
     },
     CarveCut::damaged, 4 * kCluster, 4 * kCluster},
    {"JpegRunningIntoALiveFile", [] { return testing::WriteJpeg({800, 600, true, 0, 90, 6}); },
     [](CarveDisk&, const FileBytes&) { return std::vector<std::uint64_t>{7, 8}; }, CarveCut::liveClusters, 5 * kCluster,
     5 * kCluster},
    {"PngWithAClusterOfZeros", [] { return testing::WritePng(400, 300, 7, 2000); },
     [](CarveDisk& disk, const FileBytes&) {
       disk.Put(kBase + 5 * kCluster, FileBytes(kCluster, 0));
       return std::vector<std::uint64_t>{};
     },
     // The chunk the zeros fall in fails its CRC: the chunks before it stay.
     CarveCut::damaged, 3 * kCluster - 2100, 3 * kCluster},
    {"BitmapWithAPictureOverItsMiddle", [] { return testing::WriteBmp(200, 150, 8); },
     [](CarveDisk& disk, const FileBytes&) {
       disk.Put(kBase + 8 * kCluster, testing::WriteJpeg({64, 64, false, 0, 80, 9}));
       return std::vector<std::uint64_t>{};
     },
     CarveCut::otherFileStart, 6 * kCluster, 6 * kCluster},
};

class CarveDamageTest : public ::testing::TestWithParam<DamageCase> {};

// A file partly overwritten is never called whole: it is kept as partial,
// cut where what holds together ends, and marked with why.
TEST_P(CarveDamageTest, APartlyOverwrittenFileIsKeptAsItsSoundStart) {
  const DamageCase& c = GetParam();
  const FileBytes file = c.make();
  ASSERT_GT(file.size(), 12 * kCluster) << "the damage must fall inside the file";
  CarveDisk disk(kBase + 64 * kCluster);
  disk.Put(kBase + 2 * kCluster, file);
  const std::vector<std::uint64_t> live = c.damage(disk, file);

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, live));

  ASSERT_GE(found.files.size(), 1u);
  const CarvedFile& carved = found.files[0];
  EXPECT_TRUE(carved.Partial()) << "soundness " << static_cast<int>(carved.soundness);
  EXPECT_EQ(carved.cut, c.cut);
  EXPECT_EQ(carved.FirstByte(), kBase + 2 * kCluster);
  EXPECT_GE(carved.size, c.keptAtLeast);
  EXPECT_LE(carved.size, c.keptAtMost);
  EXPECT_EQ(found.contents[0], FileBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(carved.size)));
}

INSTANTIATE_TEST_SUITE_P(Damages, CarveDamageTest, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<DamageCase>& param) { return std::string(param.param.name); });

// Plain fields only: a table of std::strings trips GCC 12's uninitialised-use
// warning at -O3.
struct NamingCase {
  const char* name;
  const char* entryPath;  // of the entry at the picture's start
  std::uint16_t entryWriteTime;
  bool entryDeleted;
  bool includeListed;
  bool carved;
  const char* path;  // "" for a name from the content
};

const NamingCase kNamings[] = {
    {"DeletedEntryOfItsKind", "DCIM/100CANON/IMG_0001.JPG", 0x6000, true, false, true, "DCIM/100CANON/IMG_0001.JPG"},
    {"DeletedEntryOfAnotherKind", "Letters/notes.txt", 0, true, false, true, ""},
    {"LiveFile", "DCIM/100CANON/IMG_0002.JPG", 0, false, false, false, ""},
    {"LiveFileIncluded", "DCIM/100CANON/IMG_0002.JPG", 0, false, true, true, ""},
};

class CarveNamingTest : public ::testing::TestWithParam<NamingCase> {};

// A picture found where a deleted file of its kind started takes that
// file's path and, with the size the entry gives (a trailer after the
// end-of-image marker is the file's too), its bytes; where a live file
// starts nothing is carved unless asked.
TEST_P(CarveNamingTest, NamesComeFromTheEntryThatStartedThere) {
  const NamingCase& c = GetParam();
  FileBytes picture = Jpeg(10);
  const std::size_t structureEnd = picture.size();
  const FileBytes trailer = {'T', 'R', 'A', 'I', 'L', 'E', 'R', 0, 1, 2, 3};
  picture.insert(picture.end(), trailer.begin(), trailer.end());
  CarveDisk disk(kBase + 32 * kCluster);
  disk.Put(kBase + 3 * kCluster, picture);
  ListedFiles listed;
  ListedFile entry;
  entry.path = c.entryPath;
  entry.writeDate = 0x5A21;
  entry.writeTime = c.entryWriteTime;
  entry.deleted = c.entryDeleted;
  entry.firstByte = kBase + 3 * kCluster;
  entry.size = picture.size();
  listed.Add(entry);
  CarveSettings settings;
  settings.listed = &listed;
  settings.includeListed = c.includeListed;

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, {}), settings);

  ASSERT_EQ(found.files.size(), c.carved ? 1u : 0u);
  if (!c.carved) return;
  const CarvedFile& file = found.files[0];
  const std::string path = c.path;
  EXPECT_EQ(file.entry != nullptr, !path.empty());
  if (path.empty()) {
    EXPECT_EQ(CarvedFilePath(file), "jpg/f" + std::string(7 - std::to_string((kBase + 3 * kCluster) / 512).size(), '0') +
                                        std::to_string((kBase + 3 * kCluster) / 512) + ".jpg");
    EXPECT_EQ(file.size, structureEnd);
  } else {
    EXPECT_EQ(CarvedFilePath(file), path);
    EXPECT_EQ(found.contents[0], picture);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, CarveNamingTest, ::testing::ValuesIn(kNamings),
                         [](const ::testing::TestParamInfo<NamingCase>& param) { return std::string(param.param.name); });

// Only the clusters a live file does not hold are read: a picture inside
// one is not found.
TEST(CarvePass, LiveClustersAreNotReadUnlessAsked) {
  const FileBytes picture = Jpeg(11);
  CarveDisk disk(kBase + 32 * kCluster);
  disk.Put(kBase + 4 * kCluster, picture);
  const std::uint64_t clusters = (picture.size() + kCluster - 1) / kCluster;
  std::vector<std::uint64_t> live;
  for (std::uint64_t i = 0; i < clusters; ++i) live.push_back(4 + i);
  CarveArea area = disk.ClusterArea(kBase, kCluster, live);

  EXPECT_EQ(disk.Carve(area).files.size(), 0u);
  area.freeOnly = false;
  EXPECT_EQ(disk.Carve(area).files.size(), 1u);
}

// Stop ends the pass: what was found before stays, nothing after it is made.
TEST(CarvePass, StopEndsThePass) {
  CarveDisk disk(4 << 20);
  for (int i = 0; i < 8; ++i) disk.Put(static_cast<std::size_t>(i) * (512 << 10), Jpeg(20 + i));

  const CarveDisk::Found found = disk.Carve(SectorArea(0, (4 << 20) / 512), {}, 3);

  EXPECT_TRUE(found.result.stopped);
  EXPECT_EQ(found.files.size(), 3u);
  EXPECT_LT(found.result.bytesPassed, 4u << 20);
}

// Only the families asked for are carved.
TEST(CarvePass, OnlyTheFamiliesAskedFor) {
  CarveDisk disk(1 << 20);
  disk.Put(4096, Jpeg(30));
  disk.Put(256 << 10, testing::WritePng(100, 80, 31));
  CarveSettings settings;
  settings.families = FamilyBit(*CarveFormatNamed("png"));

  const CarveDisk::Found found = disk.Carve(settings);

  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].format->family, "png");
}

}  // namespace
}  // namespace salvex

namespace salvex {
namespace {

class CarveDamagedFamilyTest : public ::testing::TestWithParam<FamilyCase> {};

// Whatever the family, a file whose second half lies past the free
// clusters, or one with a cluster of another file's bytes in its middle,
// is never taken for whole: it is partial, or not carved at all.
TEST_P(CarveDamagedFamilyTest, ACutOrOverwrittenFileIsNeverWhole) {
  const FamilyCase& c = GetParam();
  const FileBytes file = c.make();
  // Clusters small enough that the file spans eight or more.
  const std::uint32_t cluster = static_cast<std::uint32_t>(std::max<std::size_t>(512, file.size() / 8 / 512 * 512));
  const std::uint64_t clusters = (file.size() + cluster - 1) / cluster;
  const std::uint64_t base = 16 * cluster;
  CarveDisk cut(base + (clusters + 8) * cluster);
  cut.Put(base + 2 * cluster, file);
  std::vector<std::uint64_t> live;
  for (std::uint64_t i = 2 + clusters / 2; i < clusters + 8; ++i) live.push_back(i);

  const CarveDisk::Found cutShort = cut.Carve(cut.ClusterArea(base, cluster, live));

  for (const CarvedFile& found : cutShort.files) {
    EXPECT_TRUE(found.Partial()) << found.format->family << ": " << static_cast<int>(found.soundness);
  }
  if (c.expected != Soundness::whole) return;  // nothing in the rest can tell foreign bytes
  CarveDisk overwritten(base + (clusters + 8) * cluster);
  overwritten.Put(base + 2 * cluster, file);
  overwritten.Put(base + (2 + clusters / 2) * cluster, testing::Noise(cluster, 77));

  const CarveDisk::Found damaged = overwritten.Carve(overwritten.ClusterArea(base, cluster, {}));

  for (const CarvedFile& found : damaged.files) {
    EXPECT_NE(found.soundness, Soundness::whole) << found.format->family;
  }
}

INSTANTIATE_TEST_SUITE_P(Families, CarveDamagedFamilyTest, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<FamilyCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex

namespace salvex {
namespace {

struct FragmentCase {
  const char* name;
  testing::JpegPicture picture;
  // What lies between the two pieces: the clusters of a live file, another
  // picture, or free clusters of noise.
  enum class Between { liveFile, otherPicture, noise } between;
};

const FragmentCase kFragments[] = {
    {"AroundALiveFile", {640, 480, true, 0, 90, 40}, FragmentCase::Between::liveFile},
    {"AroundAnotherPicture", {640, 480, true, 0, 88, 41}, FragmentCase::Between::otherPicture},
    {"AfterFreeNoise", {640, 480, true, 0, 85, 42}, FragmentCase::Between::noise},
    {"WithRestartMarkers", {640, 480, true, 8, 85, 43}, FragmentCase::Between::otherPicture},
    {"Grey", {800, 600, false, 0, 80, 44}, FragmentCase::Between::noise},
};

class CarveFragmentTest : public ::testing::TestWithParam<FragmentCase> {};

// A picture written in two pieces, as a FAT allocator lays a file around
// clusters in use: the first piece decodes to where it stops, the free
// clusters after it are tried as its continuation, and the one that
// decodes on to the end-of-image marker completes it, byte for byte.
TEST_P(CarveFragmentTest, APictureInTwoPiecesIsPutTogether) {
  const FragmentCase& c = GetParam();
  const FileBytes picture = testing::WriteJpeg(c.picture);
  const std::uint64_t clusters = (picture.size() + kCluster - 1) / kCluster;
  ASSERT_GE(clusters, 6u);
  const std::uint64_t firstClusters = clusters / 3;
  const FileBytes other = testing::WriteJpeg({160, 120, true, 0, 80, 99});
  const std::uint64_t gap = (other.size() + kCluster - 1) / kCluster + 1;
  CarveDisk disk(kBase + (clusters + gap + 16) * kCluster);
  const std::uint64_t firstBytes = firstClusters * kCluster;
  disk.Put(kBase + 2 * kCluster, FileBytes(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(firstBytes)));
  const std::uint64_t second = kBase + (2 + firstClusters + gap) * kCluster;
  disk.Put(second, FileBytes(picture.begin() + static_cast<std::ptrdiff_t>(firstBytes), picture.end()));
  std::vector<std::uint64_t> live;
  for (std::uint64_t i = 0; i < gap; ++i) {
    const std::uint64_t cluster = 2 + firstClusters + i;
    if (c.between == FragmentCase::Between::liveFile) live.push_back(cluster);
    if (c.between == FragmentCase::Between::noise) disk.Put(kBase + cluster * kCluster, testing::Noise(kCluster, 5 + static_cast<std::uint32_t>(i)));
  }
  if (c.between == FragmentCase::Between::otherPicture) disk.Put(kBase + (2 + firstClusters) * kCluster, other);

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, live));

  ASSERT_GE(found.files.size(), 1u);
  const CarvedFile& joined = found.files[0];
  EXPECT_TRUE(joined.joined);
  EXPECT_EQ(joined.soundness, Soundness::whole) << joined.why;
  ASSERT_EQ(joined.pieces.size(), 2u);
  EXPECT_EQ(joined.pieces[1].start, second);
  EXPECT_EQ(found.contents[0], picture);
  if (c.between == FragmentCase::Between::otherPicture) {
    ASSERT_EQ(found.files.size(), 2u) << "the picture between stays a file of its own";
    EXPECT_EQ(found.contents[1], other);
  } else {
    EXPECT_EQ(found.files.size(), 1u) << "nothing else is made of the second piece";
  }
}

INSTANTIATE_TEST_SUITE_P(Fragments, CarveFragmentTest, ::testing::ValuesIn(kFragments),
                         [](const ::testing::TestParamInfo<FragmentCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex

namespace salvex {
namespace {

struct SplitCase {
  const char* name;
  std::function<FileBytes()> make;
  std::string extension;
  Soundness expected;
};

const SplitCase kSplits[] = {
    {"ArchiveByItsDirectory",
     [] {
       return testing::WriteZip({{"[Content_Types].xml", testing::Noise(9000, 1), true},
                                 {"word/document.xml", testing::Noise(30000, 2), false},
                                 {"word/media/image1.bin", testing::Noise(20000, 3), false}});
     },
     "docx", Soundness::whole},
    {"VideoByItsMovieBox", [] { return testing::WriteMp4(60, 4); }, "mp4", Soundness::unchecked},
};

class CarveSplitTest : public ::testing::TestWithParam<SplitCase> {};

// A file laid around a live file whose end holds what says where its parts
// lie (an archive's central directory, a video's movie box): its first
// piece runs into the live file, the structure found after it says where
// the rest must begin, and the two pieces check out as one file.
TEST_P(CarveSplitTest, AFileInTwoPiecesIsPutTogetherByItsOwnStructure) {
  const SplitCase& c = GetParam();
  const FileBytes archive = c.make();
  const std::uint64_t clusters = (archive.size() + kCluster - 1) / kCluster;
  const std::uint64_t firstClusters = clusters / 2;
  CarveDisk disk(kBase + (clusters + 20) * kCluster);
  const std::uint64_t firstBytes = firstClusters * kCluster;
  disk.Put(kBase + 2 * kCluster, FileBytes(archive.begin(), archive.begin() + static_cast<std::ptrdiff_t>(firstBytes)));
  const std::uint64_t second = kBase + (2 + firstClusters + 3) * kCluster;
  disk.Put(second, FileBytes(archive.begin() + static_cast<std::ptrdiff_t>(firstBytes), archive.end()));
  const std::vector<std::uint64_t> live = {2 + firstClusters, 3 + firstClusters, 4 + firstClusters};

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, live));

  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_TRUE(found.files[0].joined);
  EXPECT_EQ(found.files[0].soundness, c.expected) << found.files[0].why;
  EXPECT_EQ(found.files[0].extension, c.extension);
  EXPECT_EQ(found.contents[0], archive);
}

INSTANTIATE_TEST_SUITE_P(Splits, CarveSplitTest, ::testing::ValuesIn(kSplits),
                         [](const ::testing::TestParamInfo<SplitCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex

namespace salvex {
namespace {

// Pixels can look like text or an MPEG frame header where a sector begins;
// neither is another file's start, and the bitmap stays whole.
TEST(CarvePass, PixelsThatLookLikeTextOrAFrameDoNotCutABitmap) {
  FileBytes bitmap = testing::WriteBmp(200, 150, 21);
  const std::string text = "EcI@WJ@\\DIWBL`R?b@AR8B]EQUEJLMRVFP_NO]AQS;PHASPPSA:EP=JEEIEF;T<B";
  for (std::size_t i = 0; i < 512; ++i) bitmap[8 * 512 + i] = static_cast<std::uint8_t>(text[i % text.size()]);
  const FileBytes frame = testing::WriteMp3(2, 22, false);
  std::copy(frame.begin(), frame.begin() + 512, bitmap.begin() + 16 * 512);
  CarveDisk disk(kBase + 64 * kCluster);
  disk.Put(kBase + 2 * kCluster, bitmap);

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, {}));

  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].soundness, Soundness::unchecked);
  EXPECT_EQ(found.contents[0], bitmap);
}

}  // namespace
}  // namespace salvex

namespace salvex {
namespace {

struct KeptWholeCase {
  const char* name;
  const char* family;
  std::function<FileBytes()> make;
};

const KeptWholeCase kKeptWhole[] = {
    {"SongWithAClusterOfText", "mp3", [] { return testing::WriteMp3(120, 31, true); }},
    {"FlacWithAClusterOfText", "flac", [] { return testing::WriteFlac(40, 36); }},
    {"ArchiveWithADamagedMember", "zip",
     [] {
       return testing::WriteZip({{"a.bin", testing::Noise(20000, 32), false}, {"b.txt", testing::Noise(20000, 33), true}});
     }},
};

class CarveKeptWholeTest : public ::testing::TestWithParam<KeptWholeCase> {};

// A file still mostly there, with one cluster of text written over it, is
// kept whole, marked damaged, with that stretch listed.
TEST_P(CarveKeptWholeTest, AFileStillMostlyThereIsKeptWithItsDamageListed) {
  const FileBytes file = GetParam().make();
  CarveDisk disk(kBase + 64 * kCluster);
  FileBytes laid = file;
  const std::string text = "Minutes of the meeting: bring the slides, room 4 at 10:30.\n";
  for (std::size_t i = 0; i < kCluster; ++i) laid[2 * kCluster + i] = static_cast<std::uint8_t>(text[i % text.size()]);
  disk.Put(kBase + 2 * kCluster, laid);

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, {}));

  ASSERT_GE(found.files.size(), 1u);
  const CarvedFile& carved = found.files[0];
  EXPECT_EQ(carved.format->family, GetParam().family);
  EXPECT_EQ(carved.soundness, Soundness::damaged);
  EXPECT_EQ(carved.cut, CarveCut::damaged);
  EXPECT_EQ(found.contents[0], laid);
  ASSERT_EQ(carved.damagedSpans.size(), 1u);
  EXPECT_LE(carved.damagedSpans[0].start, 3 * kCluster);
  EXPECT_GE(carved.damagedSpans[0].end, 3 * kCluster);
  EXPECT_EQ(found.files.size(), 1u) << "nothing else is made of the rest";
}

INSTANTIATE_TEST_SUITE_P(Files, CarveKeptWholeTest, ::testing::ValuesIn(kKeptWhole),
                         [](const ::testing::TestParamInfo<KeptWholeCase>& param) { return std::string(param.param.name); });

// Two songs, the second in the cluster after the first one's slack of
// zeros: the first ends where its frames do, the second is a file of its own.
TEST(CarvePass, ASongAfterAnothersSlackIsNotTakenForItsContinuation) {
  const FileBytes first = testing::WriteMp3(30, 34, false);
  const FileBytes second = testing::WriteMp3(30, 35, false);
  CarveDisk disk(kBase + 64 * kCluster);
  disk.Put(kBase + 2 * kCluster, first);
  const std::uint64_t next = kBase + (2 + (first.size() + kCluster - 1) / kCluster) * kCluster;
  disk.Put(next, second);

  const CarveDisk::Found found = disk.Carve(disk.ClusterArea(kBase, kCluster, {}));

  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.contents[0], first);
  EXPECT_EQ(found.contents[1], second);
}

}  // namespace
}  // namespace salvex
