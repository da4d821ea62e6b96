#pragma once

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "session/disk_imaging.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace salvex::gui {

// "Create Disk Image": the disk being copied, the phase, what is copied
// with the rate and time left once they are steady, and the bad areas so
// far, while the run goes on on the worker. "&Stop" (and the close box, and
// Esc) only raises the run's stop flag: the run saves its map and ends, and
// the dialog closes when the run's owner calls Finish. The worker's latest
// progress is drawn a few times a second on the window's thread.
class ImagingDialog final : public QDialog, public ImagingProgressView {
  Q_OBJECT

 public:
  ImagingDialog(const std::string& source, std::atomic<bool>& stop, QWidget* parent = nullptr);

  // From any thread.
  void Progress(const ImagingProgress& progress) override;

  // The run has ended: draws what it said last and closes.
  void Finish();

  QLineEdit& PhaseField() const { return *phase_; }
  QLineEdit& CopiedField() const { return *copied_; }
  QLineEdit& BadAreasField() const { return *badAreas_; }
  QProgressBar& Bar() const { return *bar_; }
  QPushButton& StopButton() const { return *stopButton_; }

 protected:
  void reject() override;

 private:
  void Draw();

  std::atomic<bool>& stop_;
  QLineEdit* phase_ = nullptr;
  QLineEdit* copied_ = nullptr;
  QLineEdit* badAreas_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  std::mutex mutex_;
  std::optional<ImagingProgress> pending_;
  QTimer timer_;
};

}  // namespace salvex::gui
