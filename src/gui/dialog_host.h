#pragma once

#include <QPointer>

#include <memory>

#include "wizard/command_view.h"

class QWidget;

namespace salvex::gui {

class FileTypes;
class HelpWindow;
class ImagingDialog;
class SavingDialog;

// The window's dialogs and the desktop's file choosers, each opened over
// `window` when a command asks for it.
class DialogHost final : public wizard::CommandView {
 public:
  DialogHost(QWidget& window, FileTypes& types);
  ~DialogHost() override;

  std::optional<std::string> ChooseRecoveryFolder() override;
  std::optional<std::string> ChooseSnapshotToSave(wizard::SnapshotKind kind) override;
  std::optional<std::string> ChooseSnapshotToLoad() override;
  std::optional<std::string> ChooseDiskImage() override;
  std::optional<wizard::ImageTargets> ChooseImageTargets(const std::string& source) override;

  SavingView& OpenSavingDialog(RecoveryRunState& run) override;
  void CloseSavingDialog() override;
  wizard::SummaryChoice ShowRecoverySummary(const wizard::SummaryText& summary) override;
  ImagingProgressView& OpenImagingDialog(const std::string& source, std::atomic<bool>& stop) override;
  void CloseImagingDialog() override;

  void EditSettings(RecoverySettings& settings) override;
  void EditFilters(FilterTable& filters) override;
  void RunFindFiles(wizard::FindFilesFlow& flow) override;
  void ShowDriveInformation(const PanelRows& rows) override;
  void ShowProperties(const PanelRows& rows) override;
  void ShowAbout() override;
  void ShowDiskSectors(wizard::DiskSectorView& view) override;
  bool ShowManual() override;

  // The dialog of a running recovery, if any.
  SavingDialog* Saving() const { return saving_.get(); }
  // The dialog of a running imaging, if any.
  ImagingDialog* Imaging() const { return imaging_.get(); }

 private:
  QWidget& window_;
  FileTypes& types_;
  std::unique_ptr<SavingDialog> saving_;
  std::unique_ptr<ImagingDialog> imaging_;
  QPointer<HelpWindow> help_;
};

}  // namespace salvex::gui
