#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "items/recovery_settings.h"
#include "platform/ui_port.h"
#include "recovery/extraction.h"
#include "search/file_filters.h"
#include "session/disk_imaging.h"
#include "wizard/disk_sector_view.h"
#include "wizard/find_files_flow.h"
#include "wizard/wizard_types.h"

namespace salvex::wizard {

// The account of a recovery run for its box: a few lines, and every file
// named in the details.
struct SummaryText {
  std::string text;
  std::string details;
  std::string report;  // the run's report file, which the box offers to open; empty: none
};

// What the user chose in the summary box.
enum class SummaryChoice { close, openFolder, openReport };

// Where an image of a disk goes: the image file and its ddrescue map.
struct ImageTargets {
  std::string image;
  std::string map;
};

// The dialogs and choosers that the window's commands open, each modal and
// parented to the window; the wizard's commands call them on the
// user-interface thread and decide what follows. The desktop window
// implements it; tests implement it with a fake.
class CommandView {
 public:
  virtual ~CommandView() = default;

  // The desktop's choosers; nothing when cancelled.
  virtual std::optional<std::string> ChooseRecoveryFolder() = 0;
  virtual std::optional<std::string> ChooseSnapshotToSave(SnapshotKind kind) = 0;
  // A tree (".RSNP") or advance-scan (".RS2") snapshot.
  virtual std::optional<std::string> ChooseSnapshotToLoad() = 0;
  virtual std::optional<std::string> ChooseDiskImage() = 0;
  // The image file to write of `source` (its map beside it, "IMAGE.map",
  // unless the user names another); nothing when cancelled.
  virtual std::optional<ImageTargets> ChooseImageTargets(const std::string& source) = 0;

  // "Create Disk Image" progress, shown modal at once (it returns while the
  // dialog stays open): phase, rate, time left, bad areas; Stop raises
  // `stop`. The view is called from the worker and stays valid until
  // CloseImagingDialog.
  virtual ImagingProgressView& OpenImagingDialog(const std::string& source, std::atomic<bool>& stop) = 0;
  virtual void CloseImagingDialog() = 0;

  // "Saving the data please wait", shown modal at once (it returns while the
  // dialog stays open); its buttons raise the run's flags. The SavingView is
  // called from the worker and stays valid until CloseSavingDialog.
  virtual SavingView& OpenSavingDialog(RecoveryRunState& run) = 0;
  virtual void CloseSavingDialog() = 0;
  // The summary box, and what the user asked to see after it.
  virtual SummaryChoice ShowRecoverySummary(const SummaryText& summary) = 0;

  // The dialogs; each returns when it is closed.
  virtual void EditSettings(RecoverySettings& settings) = 0;
  virtual void EditFilters(FilterTable& filters) = 0;
  virtual void RunFindFiles(FindFilesFlow& flow) = 0;
  virtual void ShowDriveInformation(const PanelRows& rows) = 0;
  virtual void ShowProperties(const PanelRows& rows) = 0;
  virtual void ShowAbout() = 0;
  // "View Disk Sectors": a stretch of the disk's sectors in hex, read-only,
  // through `view`, which lasts while the dialog is open.
  virtual void ShowDiskSectors(DiskSectorView& view) = 0;
  // The manual that comes with the program, in a help window; false when
  // none was bundled.
  virtual bool ShowManual() = 0;
};

}  // namespace salvex::wizard
