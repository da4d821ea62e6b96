#include "gui/scan_options.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "gui/file_type_group.h"
#include "wizard/step_presentation.h"

namespace salvex::gui {
namespace {

// A help panel as a rich-text tooltip: the heading, then each section's
// sub-heading and lines.
QString PanelHtml(const wizard::HelpPanel& panel) {
  QString html = QStringLiteral("<p style='white-space:pre'><b>%1</b>").arg(QString::fromStdString(panel.heading).toHtmlEscaped());
  for (const auto& [heading, lines] : panel.sections) {
    html += QStringLiteral("<br>");
    if (!heading.empty()) html += QStringLiteral("<br><b>%1</b>").arg(QString::fromStdString(heading).toHtmlEscaped());
    for (const std::string& line : lines) html += QStringLiteral("<br>") + QString::fromStdString(line).toHtmlEscaped();
  }
  return html + QStringLiteral("</p>");
}

QToolButton* MakeHelpButton(QWidget* parent, const char* name, const wizard::HelpPanel& panel) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(QStringLiteral("?"));
  QFont bold = button->font();
  bold.setBold(true);
  button->setFont(bold);
  button->setFixedSize(24, 24);
  button->setAccessibleName(QStringLiteral("Help"));
  button->setToolTip(PanelHtml(panel));
  // A click shows the panel too, for those who do not rest the mouse.
  QObject::connect(button, &QToolButton::clicked, button,
                   [button] { QToolTip::showText(button->mapToGlobal(button->rect().bottomLeft()), button->toolTip(), button); });
  return button;
}

}  // namespace

ScanOptions::ScanOptions(QWidget* parent) : QWidget(parent) {
  scanType_ = new QGroupBox(QStringLiteral("Scan Type"), this);
  scanType_->setObjectName(QStringLiteral("scanTypeGroup"));
  standard_ = new QRadioButton(QStringLiteral("Standard Scan"), scanType_);
  standard_->setObjectName(QStringLiteral("standardScanOption"));
  advance_ = new QRadioButton(QStringLiteral("Advance Scan"), scanType_);
  advance_->setObjectName(QStringLiteral("advanceScanOption"));
  byFileType_ = new QRadioButton(QStringLiteral("Search by File Type"), scanType_);
  byFileType_->setObjectName(QStringLiteral("fileTypeScanOption"));
  auto* types = new QVBoxLayout(scanType_);
  types->addWidget(standard_);
  types->addWidget(advance_);
  types->addWidget(byFileType_);
  scanTypeHelp_ = MakeHelpButton(this, "scanTypeHelp", wizard::ScanTypeHelpPanel());

  range_ = new QGroupBox(QStringLiteral("Scan Range"), this);
  range_->setObjectName(QStringLiteral("rangeGroup"));
  fileSystem_ = new QComboBox(range_);
  fileSystem_->setObjectName(QStringLiteral("fileSystemChoice"));
  for (const char* name : wizard::kFileSystemChoices) fileSystem_->addItem(QString::fromLatin1(name));
  start_ = new QLineEdit(range_);
  start_->setObjectName(QStringLiteral("startSector"));
  end_ = new QLineEdit(range_);
  end_->setObjectName(QStringLiteral("endSector"));
  auto* fields = new QFormLayout(range_);
  fields->addRow(QStringLiteral("Select File System"), fileSystem_);
  fields->addRow(QStringLiteral("Start Sector"), start_);
  fields->addRow(QStringLiteral("End Sector"), end_);
  rangeHelp_ = MakeHelpButton(this, "rangeHelp", wizard::RangeHelpPanel());
  fileTypes_ = new FileTypeGroup(this);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(scanType_);
  row->addWidget(scanTypeHelp_, 0, Qt::AlignTop);
  row->addWidget(range_);
  row->addWidget(rangeHelp_, 0, Qt::AlignTop);
  row->addWidget(fileTypes_, 1);
  row->addStretch(1);
  for (QWidget* part : {static_cast<QWidget*>(scanType_), static_cast<QWidget*>(scanTypeHelp_),
                        static_cast<QWidget*>(range_), static_cast<QWidget*>(rangeHelp_),
                        static_cast<QWidget*>(fileTypes_)}) {
    part->hide();
  }

  connect(standard_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) emit scanTypeChosen(ScanType::standard);
  });
  connect(advance_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) emit scanTypeChosen(ScanType::advance);
  });
  connect(byFileType_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) emit scanTypeChosen(ScanType::byFileType);
  });
}

QWidget* ScanOptions::Part(wizard::Control control) const {
  switch (control) {
    case wizard::Control::scanTypeGroup:
      return scanType_;
    case wizard::Control::scanTypeHelp:
      return scanTypeHelp_;
    case wizard::Control::rangeGroup:
      return range_;
    case wizard::Control::rangeHelp:
      return rangeHelp_;
    case wizard::Control::fileTypeGroup:
      return fileTypes_;
    default:
      return nullptr;
  }
}

void ScanOptions::SetChecked(ScanType type) {
  const QSignalBlocker standard(standard_);
  const QSignalBlocker advance(advance_);
  const QSignalBlocker byFileType(byFileType_);
  (type == ScanType::advance ? advance_ : type == ScanType::byFileType ? byFileType_ : standard_)->setChecked(true);
}

void ScanOptions::SetRange(const wizard::RangeFields& fields) {
  fileSystem_->setCurrentIndex(fields.fileSystemPosition);
  start_->setText(QString::fromStdString(fields.startSector));
  end_->setText(QString::fromStdString(fields.endSector));
}

wizard::RangeFields ScanOptions::Range() const {
  return {fileSystem_->currentIndex(), start_->text().toStdString(), end_->text().toStdString()};
}

}  // namespace salvex::gui
