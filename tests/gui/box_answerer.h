#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <vector>

namespace salvex::testing {

// Answers the window's message boxes as a user would: watches for the
// active modal box, remembers its title, icon and text, and clicks the next
// scripted button (OK, or No for a question, when none is scripted).
class BoxAnswerer final : public QObject {
 public:
  struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon;
  };

  BoxAnswerer() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Poll);
    timer_.start();
  }

  void Script(QMessageBox::StandardButton answer) { answers_.push_back(answer); }
  QString LastText() const { return seen.empty() ? QString() : seen.back().text; }

  std::vector<Seen> seen;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box == answered_) return;
    answered_ = box;
    seen.push_back({box->windowTitle(), box->text(), box->icon()});
    QMessageBox::StandardButton answer = box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    if (QAbstractButton* button = box->button(answer)) button->click();
  }

  QTimer timer_;
  std::deque<QMessageBox::StandardButton> answers_;
  QPointer<QMessageBox> answered_;
};

}  // namespace salvex::testing
