#include "gui/recovery_settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/ok_cancel_row.h"
#include "session/recovery_report.h"

namespace salvex::gui {
namespace {

QComboBox* NumberList(int last, int chosen, QWidget* parent) {
  auto* list = new QComboBox(parent);
  for (int value = 1; value <= last; ++value) list->addItem(QString::number(value));
  list->setCurrentIndex(chosen >= 1 && chosen <= last ? chosen - 1 : 0);
  list->setMaxVisibleItems(12);
  return list;
}

QGroupBox* LabelledList(const char* title, const char* label, QComboBox* list, QWidget* parent) {
  auto* group = new QGroupBox(QString::fromLatin1(title), parent);
  auto* row = new QHBoxLayout(group);
  row->addWidget(new QLabel(QString::fromLatin1(label), group));
  row->addStretch(1);
  row->addWidget(list);
  return group;
}

// Three options, of which the one numbered `checked` (1 to 3) is checked; a
// value outside that range checks none.
QGroupBox* Options(const char* title, const std::array<const char*, 3>& texts, int checked,
                   std::array<QRadioButton*, 3>& options, QWidget* parent) {
  auto* group = new QGroupBox(QString::fromLatin1(title), parent);
  auto* column = new QVBoxLayout(group);
  auto* exclusive = new QButtonGroup(group);
  for (std::size_t i = 0; i < options.size(); ++i) {
    options[i] = new QRadioButton(QString::fromLatin1(texts[i]), group);
    exclusive->addButton(options[i]);
    options[i]->setChecked(static_cast<int>(i) + 1 == checked);
    column->addWidget(options[i]);
  }
  return group;
}

template <typename Mode>
void StoreChecked(const std::array<QRadioButton*, 3>& options, Mode& mode) {
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (options[i]->isChecked()) mode = static_cast<Mode>(i + 1);
  }
}

}  // namespace

RecoverySettingsDialog::RecoverySettingsDialog(RecoverySettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setObjectName(QStringLiteral("recoverySettingsDialog"));
  setWindowTitle(QStringLiteral("Recovery Settings"));
  setModal(true);
  sectors_ = NumberList(100, static_cast<int>(settings.sectorsPerRead), this);
  sectors_->setObjectName(QStringLiteral("sectorsList"));
  retries_ = NumberList(10, settings.badSectorRetries, this);
  retries_->setObjectName(QStringLiteral("retriesList"));

  QHBoxLayout* buttons = OkCancelRow(this);

  auto* column = new QVBoxLayout(this);
  column->addWidget(
      LabelledList("Sectors to read in single attempt", "Sectors to read in single attempt", sectors_, this));
  column->addWidget(Options("Setting of duplicate file(s)",
                            {"Rename duplicate file(s)", "Overwrite duplicate file(s)", "Skip duplicate file(s)"},
                            static_cast<int>(settings.duplicateMode), duplicate_, this));
  column->addWidget(Options("Setting for deleted file(s)",
                            {"Include deleted file(s)", "Recover only deleted file(s)", "Exclude deleted file(s)"},
                            static_cast<int>(settings.deletedMode), deleted_, this));
  column->addWidget(LabelledList("Setting for bad sectors", "Number of retries on bad sector(s)", retries_, this));

  // What a run leaves besides the files: the folders above them, its report.
  auto* output = new QGroupBox(QStringLiteral("Setting of the recovered folders"), this);
  keepFolders_ = new QCheckBox(QStringLiteral("Recover &Selected keeps the folders that lead to each file"), output);
  keepFolders_->setObjectName(QStringLiteral("keepFoldersOption"));
  keepFolders_->setChecked(settings.keepFolders);
  reportName_ = new QLineEdit(QString::fromStdString(settings.reportName), output);
  reportName_->setObjectName(QStringLiteral("reportNameField"));
  reportName_->setPlaceholderText(QString::fromLatin1(kRecoveryReportName));
  auto* reportRow = new QHBoxLayout;
  reportRow->addWidget(new QLabel(QStringLiteral("Report of each run"), output));
  reportRow->addWidget(reportName_, 1);
  auto* outputColumn = new QVBoxLayout(output);
  outputColumn->addWidget(keepFolders_);
  outputColumn->addLayout(reportRow);
  column->addWidget(output);
  column->addLayout(buttons);
}

void RecoverySettingsDialog::accept() {
  settings_.sectorsPerRead = static_cast<std::uint32_t>(sectors_->currentIndex() + 1);
  settings_.badSectorRetries = static_cast<std::uint16_t>(retries_->currentIndex() + 1);
  StoreChecked(duplicate_, settings_.duplicateMode);
  StoreChecked(deleted_, settings_.deletedMode);
  settings_.keepFolders = keepFolders_->isChecked();
  // An emptied field brings back the usual name: every run has its report.
  const QString report = reportName_->text().trimmed();
  settings_.reportName = report.isEmpty() ? kRecoveryReportName : report.toStdString();
  QDialog::accept();
}

}  // namespace salvex::gui
