#include "gui/about_dialog.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/message_boxes.h"

#ifndef SALVEX_VERSION
#define SALVEX_VERSION "unknown"
#endif
#ifndef SALVEX_RELEASE_DATE
#define SALVEX_RELEASE_DATE "unknown"
#endif

namespace salvex::gui {

QString AboutDialog::VersionLine() { return QStringLiteral("Version ") + QStringLiteral(SALVEX_VERSION); }

QString AboutDialog::ReleaseLine() { return QStringLiteral("Released ") + QStringLiteral(SALVEX_RELEASE_DATE); }

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QStringLiteral("About Brimora Salvex"));
  setModal(true);
  auto* picture = new QLabel(this);
  picture->setPixmap(QIcon(QStringLiteral(":/icons/salvex.svg")).pixmap(64, 64));
  auto* name = new QLabel(QString::fromLatin1(kBoxTitle), this);
  name->setObjectName(QStringLiteral("productName"));
  QFont larger = name->font();
  larger.setPointSizeF(larger.pointSizeF() * 1.4);
  larger.setBold(true);
  name->setFont(larger);
  auto* version = new QLabel(VersionLine(), this);
  version->setObjectName(QStringLiteral("versionLine"));
  auto* released = new QLabel(ReleaseLine(), this);
  released->setObjectName(QStringLiteral("releaseLine"));
  auto* purpose = new QLabel(QStringLiteral("Reads FAT and NTFS disks and images without writing to them,\n"
                                            "and copies their files, deleted ones too, to a folder you choose."),
                             this);
  auto* texts = new QVBoxLayout;
  for (QLabel* line : {name, version, released, purpose}) texts->addWidget(line);
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* column = new QVBoxLayout(this);
  column->addLayout(top);
  column->addLayout(buttons);
}

}  // namespace salvex::gui
