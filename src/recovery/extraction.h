#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "disk/sector_reader.h"
#include "fat/fat_sector_cache.h"
#include "volume/volume_parameters.h"
#include "recovery/recovery_admission.h"
#include "items/items.h"
#include "items/recovery_settings.h"
#include "platform/host_folder.h"
#include "platform/ui_port.h"

namespace salvex {

// openCopy: into a folder for the desktop to open; recover: a recovery run's
// file; inMemory: no file, the first `memoryLimit` bytes in the result, or
// every byte handed to the request's `sink` when it has one.
enum class ExtractMode { openCopy = 0, recover = 1, inMemory = 2 };

// What one extraction copies, and where.
struct ExtractionRequest {
  const HostFolder* destination = nullptr;
  std::string name;
  std::uint64_t size = 0;
  // exFAT: the bytes past this one were never written and read as zeros.
  std::uint64_t validSize = UINT64_MAX;
  std::uint32_t firstCluster = 0;  // FAT
  SectorNumber recordSector = 0;  // NTFS: the file's MFT record
  std::string stream;              // NTFS: the named data stream to copy ("" the unnamed data)
  ExtractMode mode = ExtractMode::recover;
  bool deleted = false;
  bool overwritten = false;    // FAT: its clusters are now other files'
  bool noClusterFits = false;  // FAT: its first cluster cannot be known
  // FAT: the clusters the walk chose (see FatFileItem::clusterRuns); empty:
  // its chain, else consecutive clusters.
  std::vector<ClusterRun> clusterRuns;
  // A file found by its content: its bytes are these stretches of the
  // disk, in order, instead of any cluster.
  std::vector<DiskExtent> diskExtents;
  std::uint32_t id = 0;
  std::size_t memoryLimit = 0;  // inMemory: the most bytes to read
  ByteSink sink;                // inMemory: takes the bytes instead; refusing ends the read
  // The time stamp for the new file: FAT: write date | access date << 16;
  // NTFS: the NTFS time itself.
  std::uint64_t fileTime = 0;
};

// Shared by the saving dialog (which raises the flags) and the worker.
struct RecoveryRunState {
  std::atomic<bool> stopSaving{false};
  std::atomic<bool> skipFile{false};
  std::atomic<std::uint32_t> filesCreated{0};
  // The whole run's progress, for the saving dialog to read as it draws:
  // the totals are set before the run starts (0: not known).
  std::uint32_t filesToWrite = 0;
  std::uint64_t bytesToWrite = 0;
  std::atomic<std::uint64_t> bytesCopied{0};
  // The files this run created, by their folders' SamenessKey, so that
  // overwriting spares them: on a folder that folds case, "REPORT.TXT" is
  // the "Report.txt" this run wrote (kept in overwrite mode only).
  std::unordered_set<std::string> createdNames;
  // FAT sectors read for one file's chain serve the next files' too; made
  // by the first FAT file of a run, dropped at the run's start.
  std::unique_ptr<FatSectorCache> fatCache;
};

struct ExtractionContext {
  SectorReader& reader;
  const VolumeParameters& volume;
  const RecoverySettings& settings;
  RecoveryRunState& run;
  UiPort& ui;          // asks whether to go on when a file cannot be created
  SavingView& saving;
  FileFilter passesFilters;  // empty: every file passes
  // The volume's last sector (0: unknown): no file's data lies past it.
  SectorNumber lastSector = 0;
  // A recovery run writes the files of different folders on this many
  // threads (1: all on the caller's).
  unsigned writerThreads = 1;
  // One of those threads: other files are being copied at the same time, so
  // a Skip File is taken by the first file that sees it, and only by a file
  // long enough to be worth skipping.
  bool concurrentWriter = false;
  // FAT sectors for this context's chains; null: the run's own cache.
  FatSectorCache* fatCache = nullptr;
};

// Whether Skip File is to cut short the file being copied now. On a thread of
// its own the flag stays raised until the next file begins; among several
// writers the file that takes it lowers it, so that one click skips one file.
bool TakeSkipRequest(ExtractionContext& context, std::uint64_t fileSize);

enum class ExtractionOutcome {
  written,
  notStarted,  // Stop Saving was pending
  refusedByFilter,
  refusedByDeletedMode,
  skippedDuplicate,
  creationFailed,
  writeFailed,     // the host refused the data (a full disk, say), or the data ends early: see keptAs
  interrupted,     // Skip File or Stop Saving cut it short: the part written is kept, see keptAs
  empty,           // an NTFS file of 0 bytes: nothing to write, no file created
  noData,          // its MFT record holds no usable data attribute or run list
  notRecoverable,  // NTFS-compressed or encrypted, or a FAT file whose first cluster is lost
};

struct ExtractionResult {
  ExtractionOutcome outcome = ExtractionOutcome::notStarted;
  std::string name;   // the name created, after a rename
  std::string error;  // why creating or writing failed
  std::uint64_t bytesWritten = 0;       // taken into the file by the host
  std::uint32_t unreadableSectors = 0;  // written as zeros
  bool cutShort = false;                // Skip File or Stop Saving ended the copy early (outcome interrupted)
  bool nameEscaped = false;             // its disk name held control or direction characters
  // Written, but from clusters guessed where the FAT's chain was damaged.
  std::string chainDamage;
  // A file that failed is not left as if it were whole: it is removed, or,
  // when some of its bytes were written, renamed to this "NAME.partial".
  std::string keptAs;
  std::vector<std::uint8_t> bytes;  // inMemory: what was read
};

inline constexpr const char* kOutOfMemoryMessage = "Out of memory, close other applications and run again";

// The question asked when a file cannot be created: "No" stops the run.
std::string CreationErrorQuestion(const std::string& path);

// Applies the recover-mode admission (filters, deleted mode, duplicates) and
// creates the output file. On a refusal or a failure returns null with the
// outcome in `result`; a creation failure asks CreationErrorQuestion, and
// "No" raises Stop Saving. Sets result.name to the name created.
std::unique_ptr<OutputFile> CreateOutputFile(ExtractionContext& context, const ExtractionRequest& request,
                                             ExtractionResult& result);

// Closes a file created by CreateOutputFile and settles the outcome: written,
// or (when the host refused a write, or `failure` says why the data is not
// whole) writeFailed, with the file removed or kept as "NAME.partial". Sets
// result.bytesWritten to what the file holds.
void CloseOutputFile(const ExtractionRequest& request, OutputFile& file, std::string failure,
                     ExtractionResult& result);

// Copies stretches of consecutive sectors into a recovered file: reads of up
// to 256 KiB, never past the file's end, sectors that stay unreadable written
// as zeros and counted. Stop Saving and Skip File are looked at before every
// read, and a write the host refuses ends the copy; the part written so far
// stays until CloseOutputFile.
class DataCopier {
 public:
  static constexpr std::uint32_t kMaxReadSectors = 512;

  DataCopier(ExtractionContext& context, const ExtractionRequest& request, OutputFile& file, ExtractionResult& result);

  // `hole`: the stretch holds no data on disk (a sparse run) and reads as zeros.
  void CopySectors(std::uint64_t firstSector, std::uint64_t sectorCount, bool hole = false);
  // The same for a stretch of the disk that need not begin or end where a
  // sector does: the sectors holding it are read, and its bytes written.
  void CopyBytes(const DiskExtent& extent);

  bool Done() const { return copied_ >= request_.size; }
  std::uint64_t Copied() const { return copied_; }
  // Stop Saving or Skip File has ended the copy; once true it stays true.
  bool Interrupted();
  bool WriteFailed() const { return writeFailed_; }

 private:
  ExtractionContext& context_;
  const ExtractionRequest& request_;
  OutputFile& file_;
  ExtractionResult& result_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t copied_ = 0;
  bool writeFailed_ = false;
  bool interrupted_ = false;
};

}  // namespace salvex
