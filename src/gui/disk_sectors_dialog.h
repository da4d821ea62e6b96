#pragma once

#include <QDialog>

#include "wizard/disk_sector_view.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace salvex::gui {

// "View Disk Sectors": a stretch of the disk's sectors in hex, with their
// byte offsets on the disk and the ASCII beside; Read, and Previous and Next
// by the same count. Reads go to the wizard's worker; the dialog cannot
// close while one runs.
class DiskSectorsDialog final : public QDialog {
  Q_OBJECT

 public:
  DiskSectorsDialog(wizard::DiskSectorView& view, QWidget* parent = nullptr);

  QLineEdit& StartField() const { return *start_; }
  QSpinBox& CountBox() const { return *count_; }
  QPushButton& ReadButton() const { return *read_; }
  QPlainTextEdit& Hex() const { return *hex_; }
  QLabel& Note() const { return *note_; }
  bool Reading() const { return reading_; }

 protected:
  void reject() override;

 private:
  void Read(std::uint64_t first);
  void Show(const wizard::SectorBytes& read);

  wizard::DiskSectorView& view_;
  QLineEdit* start_ = nullptr;
  QSpinBox* count_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QPlainTextEdit* hex_ = nullptr;
  QLabel* note_ = nullptr;
  bool reading_ = false;
  std::uint64_t shownFirst_ = 0;
};

}  // namespace salvex::gui
