#include "gui/help_window.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// Outside any namespace, as Qt's resource initialiser must be.
static void InitManualResource() { Q_INIT_RESOURCE(manual); }

namespace salvex::gui {

bool HelpWindow::ManualBundled() {
  InitManualResource();
  return QFile::exists(QUrl(QString::fromLatin1(kManualPage)).path().prepend(QLatin1Char(':')));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  InitManualResource();
  setObjectName(QStringLiteral("helpWindow"));
  setWindowTitle(QStringLiteral("Brimora Salvex FAT Help"));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpBrowser"));
  // Addresses outside the manual open in the desktop's browser.
  browser_->setOpenExternalLinks(true);
  browser_->setSource(QUrl(QString::fromLatin1(kManualPage)));

  auto* back = new QPushButton(QStringLiteral("< &Back"), this);
  auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  back->setEnabled(false);
  connect(contents, &QPushButton::clicked, browser_, &QTextBrowser::home);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addWidget(contents);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addWidget(browser_, 1);
  column->addLayout(buttons);
  resize(820, 700);
}

}  // namespace salvex::gui
