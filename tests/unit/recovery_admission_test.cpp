// The recover-mode admission as ExtractFatFile applies it (filters, the
// deleted-file mode, duplicates at the destination), and what happens when
// the file cannot be created or its data cannot be written.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "recovery/fat_extraction.h"
#include "support/recovery_bench.h"

namespace salvex {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::RecoveryBench;
using testing::RecoveryGeometry;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

// --- Admission: filters, deleted files, duplicates -------------------------

struct AdmissionCase {
  const char* name;
  DeletedMode deletedMode;
  bool deleted;
  bool filterRefuses;
  ExtractionOutcome outcome;
};

const AdmissionCase kAdmissionCases[] = {
    {"IncludeLive", DeletedMode::includeDeleted, false, false, ExtractionOutcome::written},
    {"IncludeDeleted", DeletedMode::includeDeleted, true, false, ExtractionOutcome::written},
    {"OnlyLive", DeletedMode::onlyDeleted, false, false, ExtractionOutcome::refusedByDeletedMode},
    {"OnlyDeleted", DeletedMode::onlyDeleted, true, false, ExtractionOutcome::written},
    {"ExcludeLive", DeletedMode::excludeDeleted, false, false, ExtractionOutcome::written},
    {"ExcludeDeleted", DeletedMode::excludeDeleted, true, false, ExtractionOutcome::refusedByDeletedMode},
    {"FilterRefuses", DeletedMode::includeDeleted, false, true, ExtractionOutcome::refusedByFilter},
    {"FilterBeforeDeletedMode", DeletedMode::onlyDeleted, false, true, ExtractionOutcome::refusedByFilter},
};

class AdmissionTest : public ::testing::TestWithParam<AdmissionCase> {};

TEST_P(AdmissionTest, RefusedFilesAreNeitherCreatedNorRenamed) {
  const AdmissionCase& admission = GetParam();
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
  bench.Open();
  bench.settings.deletedMode = admission.deletedMode;
  bench.settings.duplicateMode = DuplicateMode::skipDuplicate;
  std::vector<std::string> asked;
  bench.filter = [&](std::string_view name) {
    asked.emplace_back(name);
    return !admission.filterRefuses;
  };
  auto context = bench.Context();
  ExtractionRequest request = bench.Request("a.txt", 40, 600);
  request.deleted = admission.deleted;

  const ExtractionResult result = ExtractFatFile(context, request);

  EXPECT_EQ(result.outcome, admission.outcome);
  EXPECT_EQ(asked, std::vector<std::string>{"a.txt"});
  if (admission.outcome == ExtractionOutcome::written) {
    EXPECT_EQ(ReadHostFile(bench.OutPath() / "a.txt"), bench.BytesFrom(40, 2, 600));
  } else {
    EXPECT_TRUE(fs::is_empty(bench.OutPath()));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, AdmissionTest, ::testing::ValuesIn(kAdmissionCases),
                         CaseName<AdmissionCase>);

TEST(Admission, TheDeletedModeRefusesBeforeADuplicateIsLookedFor) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
  bench.Open();
  std::ofstream(bench.OutPath() / "a.txt") << "already here";
  bench.settings.deletedMode = DeletedMode::excludeDeleted;
  auto context = bench.Context();
  ExtractionRequest request = bench.Request("a.txt", 40, 600);
  request.deleted = true;

  EXPECT_EQ(ExtractFatFile(context, request).outcome, ExtractionOutcome::refusedByDeletedMode);
  EXPECT_EQ(testing::TreeBelow(bench.OutPath()), std::vector<std::string>{"a.txt"});
}

TEST(Duplicates, RenameTakesTheFirstFreeCopyName) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
  bench.Open();
  auto context = bench.Context();
  const std::string names[] = {"a.txt", "Copy (1 ) of a.txt", "Copy (2 ) of a.txt", "Copy (3 ) of a.txt"};
  for (std::uint32_t i = 0; i < 4; ++i) {
    const ExtractionResult result = ExtractFatFile(context, bench.Request("a.txt", 100 + 10 * i, 700));
    EXPECT_EQ(result.outcome, ExtractionOutcome::written);
    EXPECT_EQ(result.name, names[i]);
  }
  for (std::uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(ReadHostFile(bench.OutPath() / names[i]), bench.BytesFrom(100 + 10 * i, 2, 700)) << names[i];
  }

  fs::remove(bench.OutPath() / "Copy (2 ) of a.txt");
  const ExtractionResult refill = ExtractFatFile(context, bench.Request("a.txt", 200, 50));
  EXPECT_EQ(refill.name, "Copy (2 ) of a.txt");
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "Copy (2 ) of a.txt"), bench.BytesFrom(200, 1, 50));
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "Copy (3 ) of a.txt"), bench.BytesFrom(130, 2, 700));
}

TEST(Duplicates, SkipKeepsTheFileThereAndOverwriteReplacesItWhole) {
  for (const DuplicateMode mode : {DuplicateMode::skipDuplicate, DuplicateMode::overwriteDuplicate}) {
    SCOPED_TRACE(static_cast<int>(mode));
    RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
    bench.Open();
    bench.settings.duplicateMode = mode;
    const std::string longer(100'000, 'x');  // longer than the file: overwriting must also cut it
    std::ofstream(bench.OutPath() / "a.txt") << longer;
    auto context = bench.Context();

    const ExtractionResult result = ExtractFatFile(context, bench.Request("a.txt", 50, 900));

    EXPECT_EQ(testing::TreeBelow(bench.OutPath()), std::vector<std::string>{"a.txt"});
    const std::vector<std::uint8_t> there = ReadHostFile(bench.OutPath() / "a.txt");
    if (mode == DuplicateMode::skipDuplicate) {
      EXPECT_EQ(result.outcome, ExtractionOutcome::skippedDuplicate);
      EXPECT_EQ(there, std::vector<std::uint8_t>(longer.begin(), longer.end()));
    } else {
      EXPECT_EQ(result.outcome, ExtractionOutcome::written);
      EXPECT_EQ(there, bench.BytesFrom(50, 2, 900));
    }
  }
}

// --- A file that cannot be created -----------------------------------------

TEST(CreationFailure, AsksWhetherToGoOnAndNoStopsTheRun) {
  for (const bool goOn : {true, false}) {
    SCOPED_TRACE(goOn ? "Yes" : "No");
    RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
    bench.Open();
    bench.settings.duplicateMode = DuplicateMode::overwriteDuplicate;
    fs::create_directory(bench.OutPath() / "a.txt");  // a folder cannot be opened as the file
    bench.ui.confirmAnswer = goOn;
    auto context = bench.Context();

    const ExtractionResult result = ExtractFatFile(context, bench.Request("a.txt", 50, 900));

    EXPECT_EQ(result.outcome, ExtractionOutcome::creationFailed);
    EXPECT_FALSE(result.error.empty());
    const std::string path = (bench.OutPath() / "a.txt").string();
    EXPECT_EQ(bench.ui.questions, std::vector<std::string>{"Error creating file : " + path + ".  Continue Recovery ? "});
    EXPECT_EQ(bench.run.stopSaving.load(), !goOn);
    EXPECT_TRUE(fs::is_empty(bench.OutPath() / "a.txt"));
  }
}

// Files may not grow past `bytes` while it lives: writes past that fail as
// on a full disk (EFBIG instead of SIGXFSZ killing the process).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = nullptr;
};

TEST(WriteFailure, AFullDestinationIsReportedAndThePartStays) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
  bench.Open();
  auto context = bench.Context();

  ExtractionResult result;
  {
    const FileSizeLimit full(64 * 1024);
    // More than the output buffer holds, so writes fail during the copy too.
    result = ExtractFatFile(context, bench.Request("a.txt", 100, 600 * kSectorSize));
  }

  EXPECT_EQ(result.outcome, ExtractionOutcome::writeFailed);
  EXPECT_NE(result.error.find("could not be written"), std::string::npos) << result.error;
  EXPECT_TRUE(bench.ui.questions.empty()) << "the file was created; only its data was refused";
  EXPECT_EQ(testing::TreeBelow(bench.OutPath()), std::vector<std::string>{"a.txt.partial"})
      << "the part written stays, under a name that says it is a part";
  EXPECT_EQ(result.bytesWritten, 64u * 1024);
}

}  // namespace
}  // namespace salvex
