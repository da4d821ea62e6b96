#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <optional>
#include <string_view>

#include "disk/scan_state.h"
#include "gui/sweep_rate.h"

class QLabel;
class QProgressBar;

namespace salvex::gui {

// The progress bar with its percentage, and beside it, while a sweep reads
// the disk, its read rate and the time it still needs.
class ProgressRow final : public QWidget {
  Q_OBJECT

 public:
  // `scan` is read on this thread for the range being swept.
  explicit ProgressRow(const ScanState& scan, QWidget* parent = nullptr);

  void ShowBar(bool visible);
  void SetPercent(int percent);
  // A sweep runs while the Advance Scan reads its range with Stop shown.
  void SetStopShown(bool shown);
  void OnCurrentSector(std::string_view value);

  QProgressBar* Bar() const { return bar_; }
  QLabel* RateLabel() const { return rate_; }
  // Empty when no sweep runs.
  QString RateText() const;

 private:
  void UpdateRate();

  const ScanState& scan_;
  QProgressBar* bar_ = nullptr;
  QLabel* rate_ = nullptr;
  std::optional<SweepRate> sweep_;
  QElapsedTimer clock_;
};

}  // namespace salvex::gui
