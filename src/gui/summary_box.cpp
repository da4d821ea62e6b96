#include "gui/summary_box.h"

#include <QMessageBox>
#include <QPushButton>

#include "gui/message_boxes.h"
#include "gui/qt_text.h"
#include "wizard/recovery_texts.h"

namespace salvex::gui {

wizard::SummaryChoice ShowSummaryBox(QWidget* parent, const wizard::SummaryText& summary) {
  const bool clean = summary.details.empty();
  QMessageBox box(clean ? QMessageBox::Information : QMessageBox::Warning, kBoxTitle, ToQString(summary.text),
                  QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("summaryBox"));
  box.setTextFormat(Qt::PlainText);
  if (!clean) box.setDetailedText(ToQString(summary.details));
  QPushButton* open = box.addButton(QString::fromLatin1(wizard::kOpenFolderButton), QMessageBox::ActionRole);
  open->setObjectName(QStringLiteral("openFolderButton"));
  QPushButton* report = nullptr;
  if (!summary.report.empty()) {
    report = box.addButton(QString::fromLatin1(wizard::kOpenReportButton), QMessageBox::ActionRole);
    report->setObjectName(QStringLiteral("openReportButton"));
  }
  box.exec();
  if (box.clickedButton() == open) return wizard::SummaryChoice::openFolder;
  if (report != nullptr && box.clickedButton() == report) return wizard::SummaryChoice::openReport;
  return wizard::SummaryChoice::close;
}

}  // namespace salvex::gui
