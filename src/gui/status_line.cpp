#include "gui/status_line.h"

#include <QHBoxLayout>
#include <QLabel>

#include <charconv>

#include "gui/qt_text.h"

namespace salvex::gui {

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("statusLine"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 0, 4, 0);
  left_ = new QLabel(this);
  left_->setObjectName(QStringLiteral("statusLeft"));
  right_ = new QLabel(this);
  right_->setObjectName(QStringLiteral("statusRight"));
  right_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  row->addWidget(left_, 1);
  row->addWidget(right_);
}

void StatusLine::SetScanning(bool scanning) {
  if (scanning == scanning_) return;
  scanning_ = scanning;
  phase_.clear();
  sweepRate_.clear();
  filesFound_ = 0;
  clock_.start();
  if (scanning_) {
    ShowScan();
  } else {
    SetListTexts(counts_, selection_);
  }
}

void StatusLine::SetPhase(std::string_view phase) {
  if (!phase.empty()) phase_ = ToQString(phase);
  if (scanning_) ShowScan();
}

void StatusLine::SetSweepRate(const QString& rate) {
  sweepRate_ = rate;
  if (scanning_) ShowScan();
}

void StatusLine::SetFilesFound(std::string_view count) {
  std::uint64_t files = 0;
  if (std::from_chars(count.data(), count.data() + count.size(), files).ec != std::errc{}) return;
  filesFound_ = files;
  if (scanning_) ShowScan();
}

void StatusLine::SetListTexts(const QString& counts, const QString& selection) {
  counts_ = counts;
  selection_ = selection;
  if (scanning_) return;
  left_->setText(counts_);
  right_->setText(selection_);
}

void StatusLine::ShowScan() {
  left_->setText(phase_.isEmpty() ? QStringLiteral("Scanning...") : phase_);
  if (!sweepRate_.isEmpty()) {
    right_->setText(sweepRate_);
    return;
  }
  const double seconds = static_cast<double>(clock_.elapsed()) / 1000;
  if (filesFound_ == 0 || seconds < 0.5) {
    right_->clear();
    return;
  }
  right_->setText(QStringLiteral("%1 files found, %2 a second")
                      .arg(filesFound_)
                      .arg(static_cast<qulonglong>(static_cast<double>(filesFound_) / seconds)));
}

QString StatusLine::LeftText() const { return left_->text(); }
QString StatusLine::RightText() const { return right_->text(); }

}  // namespace salvex::gui
