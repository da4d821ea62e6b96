#pragma once

#include <QDialog>
#include <QTimer>

#include <mutex>
#include <vector>

#include "wizard/find_files_flow.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace salvex::gui {

class FileTypes;
class FoundRowsModel;

// "Find File(s)": a pattern, the files found (name, folder path, size, with
// the item list's icons), the last file found and the count. Its buttons
// and row activations go to the search's flow; the worker's hits are kept
// and added to the list a few times a second on the window's thread.
class FindFilesDialog final : public QDialog, public wizard::FindFilesView {
  Q_OBJECT

 public:
  FindFilesDialog(wizard::FindFilesFlow& flow, FileTypes& types, QWidget* parent = nullptr);
  ~FindFilesDialog() override;

  // FindFilesView
  std::string Pattern() const override;
  void ClearRows() override;
  void AddRow(const FoundFileRow& row, std::size_t found) override;  // from the worker
  void SetStartEnabled(bool enabled) override;
  void SetStopEnabled(bool enabled) override;
  bool Confirm(std::string_view question) override;
  void Close() override;

  QLineEdit& PatternField() const { return *pattern_; }
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
  QTableView* results_ = nullptr;
  QLineEdit* lastFile_ = nullptr;
  QLineEdit* filesFound_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  std::mutex mutex_;
  std::vector<FoundFileRow> pending_;
  std::size_t pendingCount_ = 0;
  QTimer timer_;
};

}  // namespace salvex::gui
