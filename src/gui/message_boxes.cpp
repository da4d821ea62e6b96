#include "gui/message_boxes.h"

#include <QMessageBox>
#include <QPointer>

#include "gui/qt_text.h"

namespace salvex::gui {
namespace {

QMessageBox::Icon IconOf(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::error:
      return QMessageBox::Critical;
    case NoticeKind::question:
      return QMessageBox::Question;
    case NoticeKind::information:
      break;
  }
  return QMessageBox::Information;
}

}  // namespace

void ShowNoticeBox(QWidget* parent, NoticeKind kind, std::string_view text) {
  QMessageBox box(IconOf(kind), kBoxTitle, ToQString(text), QMessageBox::Ok, parent);
  // The texts keep their leading blanks and line breaks as the wizard wrote them.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

namespace {

// The question up now; questions nest (one asked while another is up), so
// each keeps the one it covers and puts it back when it closes.
QPointer<QMessageBox> openQuestion;

}  // namespace

bool AskYesNo(QWidget* parent, std::string_view text) {
  QMessageBox box(QMessageBox::Question, kBoxTitle, ToQString(text), QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  const QPointer<QMessageBox> covered = openQuestion;
  openQuestion = &box;
  const bool yes = box.exec() == QMessageBox::Yes;
  openQuestion = covered;
  return yes;
}

void CloseOpenQuestion() {
  if (openQuestion != nullptr) openQuestion->done(QMessageBox::No);
}

}  // namespace salvex::gui
