#include <gtest/gtest.h>

#include <vector>

#include "ntfs/fixups.h"
#include "ntfs/mft_record.h"
#include "ntfs/mft_run_list.h"
#include "ntfs/run_list.h"
#include "support/byte_image.h"
#include "support/mft_record_builder.h"

namespace salvex {
namespace {

using testing::MftRecordBuilder;
using testing::MftRecordBytes;

MftRecordBytes Fixed(MftRecordBytes record) {
  ApplyFixups(record);
  return record;
}

TEST(Fixups, RestoreAllButTheLastSector) {
  MftRecordBuilder builder;
  std::vector<std::uint8_t> tail(600, 0x5A);
  builder.ResidentData(tail);  // runs across byte 510
  const MftRecordBytes raw = builder.Build(0x1234);
  EXPECT_EQ(raw[510], 0x34);
  MftRecordBytes record = raw;
  ApplyFixups(record);
  EXPECT_EQ(record[510], 0x5A);
  EXPECT_EQ(record[511], 0x5A);
  EXPECT_EQ(record[1022], 0x34) << "the last sector keeps the sequence number";
  EXPECT_EQ(record[1023], 0x12);
}

TEST(Fixups, OffsetsOutsideTheHeaderAreIgnored) {
  MftRecordBytes record = MftRecordBuilder().Build();
  record[4] = 90;  // the array would lie past the header
  const MftRecordBytes before = record;
  ApplyFixups(record);
  EXPECT_EQ(record, before);
  std::vector<std::uint8_t> tiny{'F', 'I', 'L', 'E', 48, 0, 200, 0};
  ApplyFixups(tiny);  // no sector end inside: nothing to do, nothing touched
  EXPECT_EQ(tiny[6], 200);
}

TEST(FileName, LooksUpEachNamespace) {
  const MftRecordBytes record = Fixed(MftRecordBuilder()
                                          .FileName(u"REPORT~1.DOC", ntfs::kDos, 40, 111, 222)
                                          .FileName(u"Отчёт за год.doc", ntfs::kWin32, 41, 333, 444)
                                          .Build());
  const auto win32 = FindFileName(record, ntfs::kWin32);
  ASSERT_TRUE(win32.has_value());
  EXPECT_EQ(win32->name, "Отчёт за год.doc");
  EXPECT_EQ(win32->parentRecord, 41u);
  EXPECT_EQ(win32->created, 333u);
  EXPECT_EQ(win32->changed, 444u);
  EXPECT_EQ(FindFileName(record, ntfs::kDos)->name, "REPORT~1.DOC");
  EXPECT_FALSE(FindFileName(record, ntfs::kWin32AndDos).has_value());
  EXPECT_FALSE(FindFileName(record, ntfs::kPosix).has_value());
}

TEST(FileName, WholeUnitsKeepEveryScript) {
  // U+042F has the low byte 0x2F, '/': it must stay a letter.
  const MftRecordBytes record = Fixed(MftRecordBuilder().FileName(u"Я.txt", ntfs::kPosix, 5).Build());
  EXPECT_EQ(FindFileName(record, ntfs::kPosix)->name, "Я.txt");
}

TEST(FileName, NameRunningPastTheRecordIsNotFound) {
  MftRecordBytes record = Fixed(MftRecordBuilder().FileName(u"abc", ntfs::kWin32, 5).Build());
  record[56 + 24 + 64] = 255;  // name length
  record[56 + 20] = 0xB0;      // value offset pushed near the end
  record[56 + 21] = 0x03;
  EXPECT_FALSE(FindFileName(record, ntfs::kWin32).has_value());
}

TEST(DataSize, NonResidentGivesTheDataSizeResidentTheValueLength) {
  const std::uint8_t runs[] = {0x11, 0x05, 0x20};
  const MftRecordBytes big = Fixed(MftRecordBuilder().NonResidentData(5'000'000'001ull, runs).Build());
  EXPECT_EQ(FindDataSize(big), 5'000'000'001ull);
  const std::uint8_t text[] = {'h', 'i', '!'};
  const MftRecordBytes small =
      Fixed(MftRecordBuilder().ResidentData(text, u"Zone.Identifier").ResidentData(std::span(text, 2)).Build());
  EXPECT_EQ(FindDataSize(small), 2u) << "the named stream is stepped over";
  EXPECT_FALSE(FindDataSize(Fixed(MftRecordBuilder().FileName(u"a", 1, 5).Build())).has_value());
}

TEST(DataAttribute, FindsTheUnnamedStreamAndItsFlags) {
  const std::uint8_t text[] = {'x'};
  const std::uint8_t runs[] = {0x11, 0x01, 0x10};
  const MftRecordBytes record =
      Fixed(MftRecordBuilder().ResidentData(text, u"ads").NonResidentData(100, runs, u"", 0x0001).Build());
  const DataAttribute data = FindDataAttribute(record);
  EXPECT_EQ(data.kind, DataKind::nonResident);
  EXPECT_TRUE(data.compressed);
  EXPECT_FALSE(data.encrypted);
  EXPECT_GT(data.offset, 56u);

  MftRecordBytes broken = Fixed(MftRecordBuilder().FileName(u"a", 1, 5).ResidentData(text).Build());
  broken[56 + 4] = 0;  // the first attribute's length
  broken[56 + 5] = 0;
  EXPECT_EQ(FindDataAttribute(broken).kind, DataKind::none);
}

// Named streams are listed once each, NTFS's own ("$...") left out, and
// each is found by its name, resident or not.
TEST(DataStreams, AreListedAndFoundByName) {
  const std::uint8_t text[] = {'h', 'i', '!'};
  const std::uint8_t runs[] = {0x11, 0x05, 0x20};
  const MftRecordBytes record = Fixed(MftRecordBuilder()
                                          .ResidentData(text, u"Zone.Identifier")
                                          .ResidentData(std::span(text, 2))
                                          .NonResidentData(70'000, runs, u"thumb")
                                          .ResidentData(text, u"$J")
                                          .ResidentData(std::span(text, 1), u"Zone.Identifier")
                                          .Build());
  EXPECT_EQ(FindDataStreamNames(record), (std::vector<std::string>{"Zone.Identifier", "thumb"}));
  EXPECT_EQ(FindDataSize(record, "Zone.Identifier"), 3u) << "the first of that name";
  EXPECT_EQ(FindDataSize(record, "thumb"), 70'000u);
  EXPECT_EQ(FindDataSize(record), 2u);
  EXPECT_EQ(FindDataAttribute(record, "thumb").kind, DataKind::nonResident);
  EXPECT_EQ(FindDataAttribute(record, "other").kind, DataKind::none);
  EXPECT_TRUE(FindDataStreamNames(Fixed(MftRecordBuilder().ResidentData(text).Build())).empty());
}

TEST(IndexRoot, NamesTheFolderUnlessEmpty) {
  EXPECT_EQ(FindIndexRootOwner(Fixed(MftRecordBuilder(3).IndexRoot(77).Build())), 77u);
  EXPECT_EQ(FindIndexRootOwner(Fixed(MftRecordBuilder(3).IndexRoot(0).Build())), 0u);
  EXPECT_EQ(FindIndexRootOwner(Fixed(MftRecordBuilder(3).FileName(u"a", 1, 5).Build())), 0u);
}

TEST(IndexAllocation, FirstClusterIsASignedField) {
  const std::uint8_t fourBytes[] = {0x41, 0x01, 0x00, 0x10, 0x00, 0x80};  // 0x80001000: negative
  EXPECT_EQ(FindIndexAllocationStart(Fixed(MftRecordBuilder(3).IndexAllocation(fourBytes).Build())), 0x80001000u);
  const std::uint8_t twoBytes[] = {0x21, 0x01, 0x34, 0x12};
  EXPECT_EQ(FindIndexAllocationStart(Fixed(MftRecordBuilder(3).IndexAllocation(twoBytes).Build())), 0x1234u);
  const std::uint8_t fiveBytes[] = {0x51, 0x01, 1, 2, 3, 4, 5};
  EXPECT_EQ(FindIndexAllocationStart(Fixed(MftRecordBuilder(3).IndexAllocation(fiveBytes).Build())), 0u);
}

TEST(AttributeList, ListsTheRecordsThatHoldAttributes) {
  const MftRecordBytes record = Fixed(
      MftRecordBuilder().AttributeList({{0x10, 70}, {0x30, 71}, {0x80, 72}, {0x80, 72}}).Build());
  EXPECT_EQ(CollectAttributeListRecords(record, 70), (std::vector<std::uint32_t>{70, 71, 72}));
  EXPECT_EQ(CollectAttributeListRecords(Fixed(MftRecordBuilder().Build()), 9), std::vector<std::uint32_t>{9});
}

TEST(RunList, DecodesDataRunsWithNegativeStepsAndHoles) {
  // 10 clusters at 1000, then -10 (990), a hole of 4, then +20 from 990.
  const std::uint8_t runs[] = {0x21, 0x0A, 0xE8, 0x03, 0x11, 0x05, 0xF6, 0x01, 0x04, 0x11, 0x02, 0x14};
  const MftRecordBytes record = Fixed(MftRecordBuilder().NonResidentData(100'000, runs).Build());
  const auto decoded = DecodeDataRuns(record, FindDataAttribute(record).offset);
  ASSERT_TRUE(decoded.has_value());
  ASSERT_EQ(decoded->size(), 4u);
  EXPECT_EQ((*decoded)[0].firstCluster, 1000u);
  EXPECT_EQ((*decoded)[0].clusterCount, 10u);
  EXPECT_EQ((*decoded)[1].firstCluster, 990u);
  EXPECT_TRUE((*decoded)[2].sparse);
  EXPECT_EQ((*decoded)[2].clusterCount, 4u);
  EXPECT_EQ((*decoded)[3].firstCluster, 1010u);
}

TEST(RunList, StopsAtRunsThatPassTheRecordsEnd) {
  std::vector<std::uint8_t> record(1024, 0);
  record[1020] = 0x44;  // a run of 8 more bytes from byte 1021: does not fit
  record[1021] = 1;
  EXPECT_TRUE(ReadRunList(record, 1020).empty());
  record[1020] = 0x11;
  record[1021] = 7;
  record[1022] = 9;
  ASSERT_EQ(ReadRunList(record, 1020).size(), 1u);
  EXPECT_EQ(ReadRunList(record, 1020)[0].clusterCount, 7u);
}

TEST(MftRunList, LoadsTheMftRunsAndMapsRecords) {
  // The worked example: with 8 sectors per cluster the runs are 512 sectors
  // at volumeStart + 32768, then 256 sectors at volumeStart.
  const std::uint8_t runs[] = {0x31, 0x40, 0x00, 0x10, 0x00, 0x21, 0x20, 0x00, 0xF0};
  const std::uint64_t volumeStart = 100;
  const std::uint64_t mftStart = volumeStart + 32768;
  testing::ByteImage image(mftStart + 512 + 16);
  const MftRecordBytes record0 = MftRecordBuilder().FileName(u"$MFT", 3, 5).NonResidentData(768 * 512, runs).Build();
  image.PutBytes(mftStart * 512, record0);
  image.PutBytes((mftStart + 10) * 512, MftRecordBuilder(3).FileName(u".", 3, 5).Build());
  std::uint16_t retries = 1;
  SectorReader reader(retries);
  reader.Open(image.Source());
  MftRunList list;
  LoadMftRunList(reader, volumeStart, mftStart, 8, list);
  ASSERT_EQ(list.Runs().size(), 2u);
  EXPECT_EQ(list.Runs()[0].startSector, volumeStart + 32768);
  EXPECT_EQ(list.Runs()[0].lengthSectors, 512u);
  EXPECT_EQ(list.Runs()[1].startSector, volumeStart);
  EXPECT_EQ(list.Runs()[1].lengthSectors, 256u);
  EXPECT_EQ(list.RecordToSector(300), volumeStart + 88);
  EXPECT_EQ(list.RecordToSector(384), 0u) << "beyond the last run";

  image.FillSector(mftStart + 10, 0);  // no root folder record: no run list
  reader.Open(image.Source());
  LoadMftRunList(reader, volumeStart, mftStart, 8, list);
  EXPECT_TRUE(list.Runs().empty());
}

}  // namespace
}  // namespace salvex
