#include "gui/dialog_host.h"

#include <QFileDialog>

#include "gui/about_dialog.h"
#include "gui/file_filters_dialog.h"
#include "gui/disk_sectors_dialog.h"
#include "gui/find_files_dialog.h"
#include "gui/help_window.h"
#include "gui/information_dialog.h"
#include "gui/imaging_dialog.h"
#include "gui/qt_text.h"
#include "gui/recovery_settings_dialog.h"
#include "gui/saving_dialog.h"
#include "gui/summary_box.h"

namespace salvex::gui {
namespace {

// The chooser's first chosen path (the last one when `last`), or nothing
// when it was cancelled.
std::optional<std::string> Chosen(QFileDialog& chooser, bool last = false) {
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = chooser.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return (last ? files.last() : files.first()).toStdString();
}

}  // namespace

DialogHost::DialogHost(QWidget& window, FileTypes& types) : window_(window), types_(types) {}

DialogHost::~DialogHost() = default;

std::optional<std::string> DialogHost::ChooseRecoveryFolder() {
  QFileDialog chooser(&window_, QStringLiteral("Choose the folder to copy the file(s) and folder(s) into"));
  chooser.setObjectName(QStringLiteral("recoveryFolderChooser"));
  chooser.setFileMode(QFileDialog::Directory);
  chooser.setOption(QFileDialog::ShowDirsOnly);
  return Chosen(chooser);
}

std::optional<std::string> DialogHost::ChooseSnapshotToSave(wizard::SnapshotKind kind) {
  const bool tree = kind == wizard::SnapshotKind::tree;
  QFileDialog chooser(&window_, QStringLiteral("Save Recovery Snapshot"));
  chooser.setObjectName(QStringLiteral("snapshotSaveChooser"));
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setFileMode(QFileDialog::AnyFile);
  // The extension is added, when the name lacks it, as the file is saved.
  chooser.setNameFilter(tree ? QStringLiteral("Tree snapshots (*.RSNP *.rsnp)")
                             : QStringLiteral("Advance Scan snapshots (*.RS2 *.rs2)"));
  return Chosen(chooser);
}

std::optional<std::string> DialogHost::ChooseSnapshotToLoad() {
  QFileDialog chooser(&window_, QStringLiteral("Load Recovery Snapshot"));
  chooser.setObjectName(QStringLiteral("snapshotLoadChooser"));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(QFileDialog::ExistingFiles);
  // Names keep the case they were given: either case of the extension.
  chooser.setNameFilters({QStringLiteral("Snapshots (*.RSNP *.rsnp *.RS2 *.rs2)"), QStringLiteral("All files (*)")});
  // Of several chosen, the last is loaded.
  return Chosen(chooser, true);
}

std::optional<std::string> DialogHost::ChooseDiskImage() {
  QFileDialog chooser(&window_, QStringLiteral("Open Disk Image"));
  chooser.setObjectName(QStringLiteral("diskImageChooser"));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setNameFilters({QStringLiteral("Disk images (*.img *.IMG *.dd *.raw *.bin *.iso *.vhd)"),
                          QStringLiteral("All files (*)")});
  return Chosen(chooser);
}

std::optional<wizard::ImageTargets> DialogHost::ChooseImageTargets(const std::string& source) {
  QFileDialog imageChooser(&window_, QStringLiteral("Create Disk Image of ") + ToQString(source));
  imageChooser.setObjectName(QStringLiteral("imageTargetChooser"));
  imageChooser.setAcceptMode(QFileDialog::AcceptSave);
  // An existing image is gone on with through its map, never replaced.
  imageChooser.setOption(QFileDialog::DontConfirmOverwrite);
  imageChooser.setNameFilters({QStringLiteral("Disk images (*.img)"), QStringLiteral("All files (*)")});
  imageChooser.setDefaultSuffix(QStringLiteral("img"));
  const auto image = Chosen(imageChooser);
  if (!image) return std::nullopt;
  QFileDialog mapChooser(&window_, QStringLiteral("The Image's ddrescue Map"));
  mapChooser.setObjectName(QStringLiteral("mapTargetChooser"));
  mapChooser.setAcceptMode(QFileDialog::AcceptSave);
  mapChooser.setOption(QFileDialog::DontConfirmOverwrite);
  mapChooser.setNameFilters({QStringLiteral("ddrescue maps (*.map)"), QStringLiteral("All files (*)")});
  mapChooser.selectFile(ToQString(*image + ".map"));
  const auto map = Chosen(mapChooser);
  if (!map) return std::nullopt;
  return wizard::ImageTargets{*image, *map};
}

ImagingProgressView& DialogHost::OpenImagingDialog(const std::string& source, std::atomic<bool>& stop) {
  imaging_ = std::make_unique<ImagingDialog>(source, stop, &window_);
  imaging_->show();
  return *imaging_;
}

void DialogHost::CloseImagingDialog() {
  if (!imaging_) return;
  imaging_->Finish();
  imaging_.reset();
}

SavingView& DialogHost::OpenSavingDialog(RecoveryRunState& run) {
  saving_ = std::make_unique<SavingDialog>(run, &window_);
  saving_->show();
  return *saving_;
}

void DialogHost::CloseSavingDialog() {
  if (!saving_) return;
  saving_->Finish();
  saving_.reset();
}

wizard::SummaryChoice DialogHost::ShowRecoverySummary(const wizard::SummaryText& summary) {
  return ShowSummaryBox(&window_, summary);
}

void DialogHost::ShowDiskSectors(wizard::DiskSectorView& view) { DiskSectorsDialog(view, &window_).exec(); }

void DialogHost::EditSettings(RecoverySettings& settings) { RecoverySettingsDialog(settings, &window_).exec(); }

void DialogHost::EditFilters(FilterTable& filters) { FileFiltersDialog(filters, &window_).exec(); }

void DialogHost::RunFindFiles(wizard::FindFilesFlow& flow) { FindFilesDialog(flow, types_, &window_).exec(); }

void DialogHost::ShowDriveInformation(const PanelRows& rows) {
  InformationDialog(QString::fromLatin1(kDriveInformationCaption), rows, &window_).exec();
}

void DialogHost::ShowProperties(const PanelRows& rows) {
  InformationDialog(QString::fromLatin1(kPropertiesCaption), rows, &window_).exec();
}

void DialogHost::ShowAbout() { AboutDialog(&window_).exec(); }

bool DialogHost::ShowManual() {
  if (!HelpWindow::ManualBundled()) return false;
  if (help_ == nullptr) {
    help_ = new HelpWindow(&window_);
    help_->setAttribute(Qt::WA_DeleteOnClose);
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
  return true;
}

}  // namespace salvex::gui
