#include "gui/wizard_buttons.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>

#include "wizard/step_presentation.h"

namespace salvex::gui {
namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const char* tooltip,
                        const char* iconName) {
  auto* button = new QPushButton(QIcon::fromTheme(QString::fromLatin1(iconName)), text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromUtf8(tooltip));
  button->setMinimumWidth(96);
  // A hidden button keeps its place: no other moves under the pointer into
  // it (Back where Next was, as a double click on Next would hit it).
  QSizePolicy policy = button->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  button->setSizePolicy(policy);
  button->hide();
  return button;
}

}  // namespace

WizardButtons::WizardButtons(QWidget* parent) : QWidget(parent) {
  search_ = MakeButton(this, "searchPartitionsButton", QStringLiteral("Search Partitions"),
                       wizard::kSearchPartitionsTooltip, "edit-find");
  stop_ = MakeButton(this, "stopButton", QStringLiteral("&Stop"), wizard::kStopTooltip, "process-stop");
  back_ = MakeButton(this, "backButton", QStringLiteral("< &Back"), wizard::kBackTooltip, "");
  next_ = MakeButton(this, "nextButton", QStringLiteral("&Next >"), wizard::kNextTooltip, "");
  next_->setDefault(false);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(search_);
  row->addSpacing(12);
  row->addWidget(stop_);
  row->addSpacing(12);
  row->addWidget(back_);
  row->addWidget(next_);
  connect(next_, &QPushButton::clicked, this, &WizardButtons::nextClicked);
  connect(back_, &QPushButton::clicked, this, &WizardButtons::backClicked);
  connect(stop_, &QPushButton::clicked, this, &WizardButtons::stopClicked);
  connect(search_, &QPushButton::clicked, this, &WizardButtons::searchPartitionsClicked);
}

QPushButton* WizardButtons::Button(wizard::Control control) const {
  switch (control) {
    case wizard::Control::next:
      return next_;
    case wizard::Control::back:
      return back_;
    case wizard::Control::stop:
      return stop_;
    case wizard::Control::searchPartitions:
      return search_;
    default:
      return nullptr;
  }
}

}  // namespace salvex::gui
