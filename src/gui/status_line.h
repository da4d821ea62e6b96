#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <string_view>

class QLabel;

namespace salvex::gui {

// The window's status bar line. While a scan runs: its phase (the status the
// engine reports) and its rate (the sweep's read rate, or the files found a
// second). Otherwise: what the item list shows and what of it is selected.
class StatusLine final : public QWidget {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget* parent = nullptr);

  void SetScanning(bool scanning);
  bool Scanning() const { return scanning_; }
  void SetPhase(std::string_view phase);
  // The sweep's read rate and time left, as the progress row shows them.
  void SetSweepRate(const QString& rate);
  // The scan's count of files so far, for a rate where no sweep gives one.
  void SetFilesFound(std::string_view count);
  void SetListTexts(const QString& counts, const QString& selection);

  QString LeftText() const;
  QString RightText() const;

 private:
  void ShowScan();

  QLabel* left_ = nullptr;
  QLabel* right_ = nullptr;
  bool scanning_ = false;
  QString phase_;
  QString sweepRate_;
  QString counts_;
  QString selection_;
  std::uint64_t filesFound_ = 0;
  QElapsedTimer clock_;
};

}  // namespace salvex::gui
