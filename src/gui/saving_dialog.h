#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <mutex>
#include <optional>
#include <string>

#include "platform/ui_port.h"
#include "recovery/extraction.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace salvex::gui {

// "Saving the data please wait": where the files go, the one being written,
// how many were written, and its progress, while a recovery runs on the
// worker. "&Stop Saving" and "S&kip File" only raise the run's flags; the
// close box and Esc stop as "&Stop Saving" does. The worker's calls are kept
// (the latest of each) and drawn a few times a second on the window's thread;
// the dialog closes when the run's owner calls Finish.
class SavingDialog final : public QDialog, public SavingView {
  Q_OBJECT

 public:
  SavingDialog(RecoveryRunState& run, QWidget* parent = nullptr);

  // From any thread.
  void SetPath(std::string_view path) override;
  void SetFileName(std::string_view name) override;
  void SetTotalFiles(std::uint32_t count) override;
  void SetProgress(int percent) override;

  // The run has ended: draws what it said last and closes.
  void Finish();

  QLineEdit& PathField() const { return *path_; }
  QLineEdit& FileNameField() const { return *fileName_; }
  QLineEdit& TotalFilesField() const { return *totalFiles_; }
  QProgressBar& Progress() const { return *progress_; }
  QProgressBar& Overall() const { return *overall_; }

 protected:
  void reject() override;

 private:
  struct Pending {
    std::optional<std::string> path;
    std::optional<std::string> fileName;
    std::optional<int> progress;
  };
  void Draw();

  RecoveryRunState& run_;
  QLineEdit* path_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QLineEdit* totalFiles_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QProgressBar* overall_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* skip_ = nullptr;
  std::mutex mutex_;
  Pending pending_;
  QTimer timer_;
  QElapsedTimer elapsed_;
};

}  // namespace salvex::gui
