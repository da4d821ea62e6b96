#pragma once

#include <QWidget>

#include "disk/scan_state.h"
#include "wizard/wizard_types.h"
#include "wizard/wizard_view.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace salvex::gui {

class FileTypeGroup;

// The "Scan Type" group with its three options, the Advance range group
// ("Select File System", Start Sector, End Sector), the small help button
// beside each, whose tooltip is the group's help panel, and the file types
// of a Search by File Type.
class ScanOptions final : public QWidget {
  Q_OBJECT

 public:
  explicit ScanOptions(QWidget* parent = nullptr);

  // Null for a control that is not one of the groups or help buttons.
  QWidget* Part(wizard::Control control) const;
  void SetChecked(ScanType type);
  void SetRange(const wizard::RangeFields& fields);
  wizard::RangeFields Range() const;
  FileTypeGroup& FileTypes() const { return *fileTypes_; }

 signals:
  void scanTypeChosen(salvex::ScanType type);

 private:
  QGroupBox* scanType_ = nullptr;
  QRadioButton* standard_ = nullptr;
  QRadioButton* advance_ = nullptr;
  QRadioButton* byFileType_ = nullptr;
  QToolButton* scanTypeHelp_ = nullptr;
  QGroupBox* range_ = nullptr;
  QComboBox* fileSystem_ = nullptr;
  QLineEdit* start_ = nullptr;
  QLineEdit* end_ = nullptr;
  QToolButton* rangeHelp_ = nullptr;
  FileTypeGroup* fileTypes_ = nullptr;
};

}  // namespace salvex::gui
