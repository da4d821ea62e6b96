// The window's commands end to end, on the offscreen platform, on an image
// made by sfdisk, mkfs.fat and mtools: Recover All from the button bar
// through the folder chooser and the saving dialog, every file compared
// byte for byte with what mtools wrote; a tree snapshot saved, and loaded
// in a second window.

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

#include <algorithm>
#include <deque>

#include "box_answerer.h"
#include "gui/button_bar.h"
#include "gui/command_actions.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "window_driver.h"
#include "window_flow_test.h"

namespace salvex::testing {
namespace {

using wizard::Command;
using wizard::TreeKind;

constexpr std::uint32_t kFatStart = 2048;

// Answers the next file chooser with a path, and notes whether a widget of
// a name was ever shown (the saving dialog may come and go between polls).
// A chooser that is still up after its answer (it may refuse an accept
// while its name box is still empty) is answered again; the answer is
// used up only once that chooser has gone.
class ChooserAnswerer final : public QObject {
 public:
  ChooserAnswerer() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
    qApp->installEventFilter(this);
  }
  ~ChooserAnswerer() override { qApp->removeEventFilter(this); }
  void Script(const std::filesystem::path& path) { answers_.push_back(QString::fromStdString(path.string())); }
  std::vector<QString> shown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType()) shown.push_back(watched->objectName());
    return false;
  }

 private:
  void Poll() {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (answering_ && (answered_ == nullptr || chooser != answered_)) {
      answering_ = false;
      answers_.pop_front();
    }
    if (chooser == nullptr || answers_.empty()) return;
    answered_ = chooser;
    answering_ = true;
    // A folder chooser gives the folder it shows.
    if (chooser->fileMode() == QFileDialog::Directory) {
      chooser->setDirectory(answers_.front());
    } else {
      // selectFile() leaves the name box alone while it has the focus,
      // which the offscreen platform gives it at a moment of its own: the
      // box is filled directly.
      const QFileInfo chosen(answers_.front());
      chooser->setDirectory(chosen.absolutePath());
      auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (name == nullptr) return;
      name->setText(chosen.fileName());
    }
    static_cast<QDialog*>(chooser)->accept();  // public there
  }

  QTimer timer_;
  std::deque<QString> answers_;
  QPointer<QFileDialog> answered_;
  bool answering_ = false;
};

// Every node of the items tree, depth first, with its depth.
QStringList TreeTexts(const FolderTreeModel& tree, TreeNodeId node = FolderTreeModel::kRoot, int depth = 0) {
  QStringList texts;
  for (const TreeNodeId child : tree.Children(node)) {
    texts << QString(depth, QLatin1Char(' ')) + QString::fromStdString(tree.Text(child));
    texts << TreeTexts(tree, child, depth + 1);
  }
  return texts;
}

struct Program {
  Program(const std::filesystem::path& image, const std::filesystem::path& folder)
      : program(gui::GuiProgram::Settings{{image.string()}, folder.string(), ""}), drive(program) {
    program.Window().SetQuitAction([](int) {});
    program.Start();
  }
  gui::GuiProgram program;
  WindowDriver drive;
};

}  // namespace

void WindowCommandsTest::RecoverAllThroughTheSavingDialogAndReloadASnapshot() {
  if (!HaveTools({"sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel"})) QSKIP("needs sfdisk, mkfs.fat and mtools");
  TempDir dir;
  const std::filesystem::path image = dir / "commands.img";
  DiskPlan plan;
  plan.totalSectors = 81920;
  plan.partitions = {{VolumeKind::fat32, false, kFatStart, 69632, 0x0C, 1, "COMMANDS"}};
  BuildDisk(image, plan);
  MtoolsVolume volume(image, kFatStart, dir.Path());
  const std::int64_t time = NoonUtc({2019, 6, 2});
  volume.MakeFolders({"Docs", "Docs/Old"}, time);
  const std::vector<std::pair<std::string, HostFile>> files = {
      {"", PatternFile("readme.txt", 5000, time)},
      {"", PatternFile("gone-away.txt", 3000, time)},
      {"Docs", PatternFile("report.doc", 400000, time)},
      {"Docs/Old", PatternFile("old-letter.txt", 1, time)},
  };
  for (const auto& [folder, file] : files) volume.CopyFiles(folder, {file});
  volume.Delete({"gone-away.txt", "Docs/Old/old-letter.txt"});

  BoxAnswerer boxes;
  ChooserAnswerer choosers;
  QStringList scanned;
  {
    Program first(image, dir.Path());
    WindowDriver& drive = first.drive;
    QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
    gui::ButtonBar& bar = drive.Window().Bar();
    QCOMPARE(bar.Button(Command::recoverAll)->toolTip(), QStringLiteral("Copy all the file(s) and folder(s) to your computer"));
    // A button whose entry is disabled does nothing: no chooser opens.
    QVERIFY(!drive.Window().Actions().Action(Command::recoverAll)->isEnabled());
    QTest::mouseClick(bar.Button(Command::recoverAll), Qt::LeftButton);
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    QVERIFY(drive.ScanFirstPartition());
    QTRY_COMPARE(boxes.seen.size(), std::size_t{1});
    QVERIFY(drive.Activate());
    scanned = TreeTexts(*drive.Wizard().Tree(TreeKind::items));

    const std::filesystem::path into = dir / "recovered";
    std::filesystem::create_directory(into);
    choosers.Script(into);
    QVERIFY(bar.Button(Command::recoverAll)->isEnabled());
    QTest::mouseClick(bar.Button(Command::recoverAll), Qt::LeftButton);
    QTRY_VERIFY(!drive.Wizard().Busy() && boxes.seen.size() == 3);
    // The folder lies on the file system that holds the image: said first.
    QVERIFY2(boxes.seen[1].text.contains(QStringLiteral("is on the same file system as")), qPrintable(boxes.seen[1].text));
    QVERIFY(std::find(choosers.shown.begin(), choosers.shown.end(), QStringLiteral("savingDialog")) != choosers.shown.end());
    QVERIFY(drive.Window().isVisible() && drive.Window().findChild<QDialog*>(QStringLiteral("savingDialog")) == nullptr);
    for (const auto& [folder, file] : files) {
      const std::filesystem::path recovered = into / folder / file.name;
      QVERIFY2(std::filesystem::exists(recovered), qPrintable(QString::fromStdString(recovered.string())));
      QVERIFY2(ReadWholeFile(recovered) == file.bytes, file.name.c_str());
    }
    QVERIFY2(boxes.seen[2].text.startsWith(QStringLiteral("Recovered 4 file(s)")), qPrintable(boxes.seen[2].text));

    choosers.Script(dir / "tree");
    drive.Window().Actions().Action(Command::saveSnapshot)->trigger();
    QTRY_COMPARE(boxes.seen.size(), std::size_t{4});
    QCOMPARE(boxes.LastText(), QString::fromStdString("The snapshot is saved as " + (dir / "tree.RSNP").string()));
  }

  // A second window: the same disk and partition, then the snapshot.
  Program second(image, dir.Path());
  WindowDriver& drive = second.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  drive.ClickNode(TreeKind::disks, -1);
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(1));
  QVERIFY(drive.Window().Actions().Action(Command::loadSnapshot)->isEnabled());
  choosers.Script(dir / "tree.RSNP");
  QTest::mouseClick(drive.Window().Bar().Button(Command::loadSnapshot), Qt::LeftButton);
  QVERIFY(drive.WaitForStep(3));
  QCOMPARE(TreeTexts(*drive.Wizard().Tree(TreeKind::items)), scanned);
  QVERIFY(drive.Window().Actions().Action(Command::recoverSelected)->isEnabled());
  QVERIFY(!drive.Window().Actions().Action(Command::loadSnapshot)->isEnabled());
}

}  // namespace salvex::testing
