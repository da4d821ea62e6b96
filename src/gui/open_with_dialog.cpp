#include "gui/open_with_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace salvex::gui {

OpenWithDialog::OpenWithDialog(QWidget* parent, const QString& file, std::vector<DesktopApplication> applications)
    : QDialog(parent), applications_(std::move(applications)) {
  setWindowTitle(QStringLiteral("Open With"));
  setObjectName(QStringLiteral("openWithDialog"));
  auto* prompt = new QLabel(QStringLiteral("Choose the program to open %1 with:").arg(QFileInfo(file).fileName()), this);
  prompt->setTextFormat(Qt::PlainText);
  list_ = new QListWidget(this);
  list_->setIconSize(QSize(24, 24));
  for (const DesktopApplication& application : applications_) {
    auto* item = new QListWidgetItem(QIcon::fromTheme(application.icon), application.name, list_);
    item->setToolTip(application.exec);
  }
  list_->setCurrentRow(0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
  auto* column = new QVBoxLayout(this);
  column->addWidget(prompt);
  column->addWidget(list_);
  column->addWidget(buttons);
  resize(420, 360);
}

const DesktopApplication* OpenWithDialog::Chosen() const {
  const int row = list_->currentRow();
  return row >= 0 && static_cast<std::size_t>(row) < applications_.size() ? &applications_[static_cast<std::size_t>(row)]
                                                                         : nullptr;
}

bool OpenWithDialog::Run(QWidget* parent, const QString& file, std::string& error) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(file, QMimeDatabase::MatchExtension);
  std::vector<DesktopApplication> applications = ApplicationsFor(type, XdgDataDirs());
  if (applications.empty()) {
    error = "No program is registered to open files of the type " + type.comment().toStdString();
    return false;
  }
  OpenWithDialog dialog(parent, file, std::move(applications));
  if (dialog.exec() != QDialog::Accepted || dialog.Chosen() == nullptr) return true;
  const QStringList arguments = LaunchArguments(*dialog.Chosen(), file);
  if (arguments.isEmpty() || !QProcess::startDetached(arguments.first(), arguments.mid(1))) {
    error = "Cannot start " + dialog.Chosen()->name.toStdString();
    return false;
  }
  return true;
}

}  // namespace salvex::gui
