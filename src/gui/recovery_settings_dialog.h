#pragma once

#include <QDialog>

#include <array>

#include "items/recovery_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace salvex::gui {

// "Recovery Settings": the sweep's read size, the retries on a bad sector,
// what a recovery does with duplicates and with deleted files, whether
// Recover Selected keeps the folders above its files, and the name of each
// run's report. OK stores them all; Cancel, the close box and Esc store
// nothing.
class RecoverySettingsDialog final : public QDialog {
  Q_OBJECT

 public:
  RecoverySettingsDialog(RecoverySettings& settings, QWidget* parent = nullptr);

  void accept() override;

  QComboBox& SectorsList() const { return *sectors_; }
  QComboBox& RetriesList() const { return *retries_; }
  // The options of each group in the order shown, numbered from 0.
  QRadioButton& DuplicateOption(int index) const { return *duplicate_[static_cast<std::size_t>(index)]; }
  QRadioButton& DeletedOption(int index) const { return *deleted_[static_cast<std::size_t>(index)]; }
  QCheckBox& KeepFoldersOption() const { return *keepFolders_; }
  QLineEdit& ReportNameField() const { return *reportName_; }

 private:
  RecoverySettings& settings_;
  QComboBox* sectors_ = nullptr;
  QComboBox* retries_ = nullptr;
  std::array<QRadioButton*, 3> duplicate_{};
  std::array<QRadioButton*, 3> deleted_{};
  QCheckBox* keepFolders_ = nullptr;
  QLineEdit* reportName_ = nullptr;
};

}  // namespace salvex::gui
