// Times the window's Standard Scan on the offscreen platform, as a person
// meets it: from the click on Next in the partition step to the items step
// with its tree listed. Prints one line per run, in milliseconds, for
// gui_scan_vs_cli.sh to compare with `salvex scan` of the same partition.
//
// usage: salvex_gui_scan_bench IMAGE [RUNS]   (a partitioned image; the
// first partition is scanned)

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "box_answerer.h"
#include "window_driver.h"

namespace {

std::size_t TreeNodes(const salvex::FolderTreeModel& tree, salvex::TreeNodeId node = salvex::FolderTreeModel::kRoot) {
  std::size_t count = 0;
  for (const salvex::TreeNodeId child : tree.Children(node)) count += 1 + TreeNodes(tree, child);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: salvex_gui_scan_bench IMAGE [RUNS]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string image = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  salvex::testing::BoxAnswerer boxes;  // the notices a scan may end with
  for (int run = 0; run < runs; ++run) {
    salvex::gui::GuiProgram program(salvex::gui::GuiProgram::Settings{{image}, folder.string(), ""});
    program.Window().SetQuitAction([](int) {});
    program.Start();
    const salvex::testing::WindowDriver drive(program);
    drive.ClickNode(salvex::wizard::TreeKind::disks, -1);
    drive.Click("nextButton");
    if (!drive.WaitForStep(1)) {
      std::fprintf(stderr, "gui_scan_bench: the partition step did not come\n");
      return 1;
    }
    drive.ClickNode(salvex::wizard::TreeKind::partitions, 0);
    QElapsedTimer timer;
    timer.start();
    drive.Click("nextButton");
    const bool listed = QTest::qWaitFor(
        [&] {
          return !drive.Wizard().Busy() && drive.Wizard().StepNumber() == 3 &&
                 drive.Tree(salvex::wizard::TreeKind::items).Nodes().rowCount() > 0;
        },
        600000);
    const qint64 elapsed = timer.elapsed();
    if (!listed) {
      std::fprintf(stderr, "gui_scan_bench: the items step did not come\n");
      return 1;
    }
    // The folders listed go to stderr, to show the scan was whole.
    std::fprintf(stderr, "gui_scan_bench: %zu folder(s) in the items tree\n", TreeNodes(*drive.Wizard().Tree(salvex::wizard::TreeKind::items)));
    std::printf("%lld\n", static_cast<long long>(elapsed));
    std::fflush(stdout);
  }
  return 0;
}
