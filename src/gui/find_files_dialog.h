#pragma once

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <vector>

#include "wizard/find_files_flow.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace salvex::gui {

class FileTypes;
class FoundRowsModel;

// "Find File(s)": a pattern and a "containing text", the files found (name,
// folder path, size, with the item list's icons, and for a search by
// content where the text lies), the last file found and the count, and a
// search by content's progress and outcome. Its buttons and row activations
// go to the search's flow; the worker's hits and progress are kept and
// shown a few times a second on the window's thread.
class FindFilesDialog final : public QDialog, public wizard::FindFilesView {
  Q_OBJECT

 public:
  FindFilesDialog(wizard::FindFilesFlow& flow, FileTypes& types, QWidget* parent = nullptr);
  ~FindFilesDialog() override;

  // FindFilesView
  std::string Pattern() const override;
  std::string ContainingText() const override;
  bool IgnoreCase() const override;
  void ClearRows() override;
  void SetTextColumnsVisible(bool visible) override;
  void AddRow(const FoundFileRow& row, std::size_t found) override;  // from the worker
  void SetProgress(int percent) override;                            // from the worker
  void SetStatus(std::string_view text) override;
  void SetStartEnabled(bool enabled) override;
  void SetStopEnabled(bool enabled) override;
  bool Confirm(std::string_view question) override;
  void Close() override;

  QLineEdit& PatternField() const { return *pattern_; }
  QLineEdit& ContainingField() const { return *containing_; }
  QCheckBox& IgnoreCaseBox() const { return *ignoreCase_; }
  QProgressBar& ProgressBar() const { return *progress_; }
  QLabel& StatusLabel() const { return *status_; }
  QTableView& Results() const { return *results_; }
  QLineEdit& LastFileField() const { return *lastFile_; }
  QLineEdit& FilesFoundField() const { return *filesFound_; }
  QPushButton& StartButton() const { return *start_; }
  QPushButton& StopButton() const { return *stop_; }

 protected:
  void reject() override;

 private:
  // Moves the hits the worker left into the list.
  void Draw();

  wizard::FindFilesFlow& flow_;
  FoundRowsModel* model_ = nullptr;
  QLineEdit* pattern_ = nullptr;
  QLineEdit* containing_ = nullptr;
  QCheckBox* ignoreCase_ = nullptr;
  QTableView* results_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QLineEdit* lastFile_ = nullptr;
  QLineEdit* filesFound_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  std::mutex mutex_;
  std::vector<FoundFileRow> pending_;
  std::size_t pendingCount_ = 0;
  std::atomic<int> percent_{-1};  // -1: no search by content has begun
  QTimer timer_;
};

}  // namespace salvex::gui
