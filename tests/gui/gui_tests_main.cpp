// The Qt tests of salvex-gui, on the offscreen platform: `salvex_gui_tests
// [CLASS] [QtTest options]` runs one test class, or all of them.

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <vector>

#include "gui/theme_icon.h"
#include "window_flow_test.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Settings the window remembers (the preview shown or not) go to a
  // folder of their own, not the user's, and to a file per test class:
  // ctest runs the classes side by side, and one clearing the settings
  // must not wipe what another has just stored.
  QStandardPaths::setTestModeEnabled(true);
  QApplication::setOrganizationName(QStringLiteral("Brimora"));
  const bool oneClass = argc > 1 && argv[1][0] != '-';
  QApplication::setApplicationName(QStringLiteral("salvex-gui-tests-%1").arg(oneClass ? argv[1] : "all"));
  // Each run starts from the window's defaults (sizes, widths).
  QSettings().clear();
  salvex::gui::ChooseIconTheme();
  salvex::testing::WindowFlowTest flow;
  salvex::testing::LongSweepTest sweep;
  salvex::testing::GuiPartsTest parts;
  salvex::testing::DialogsTest dialogs;
  salvex::testing::WindowCommandsTest commands;
  salvex::testing::PreviewTest preview;
  salvex::testing::WindowUseTest use;
  std::vector<QObject*> tests = {&parts, &preview, &dialogs, &flow, &commands, &sweep, &use};
  std::vector<char*> arguments(argv, argv + argc);
  if (oneClass) {
    const QByteArray wanted = QByteArray("::") + argv[1];
    std::erase_if(tests, [&](QObject* test) { return !QByteArray(test->metaObject()->className()).endsWith(wanted); });
    arguments.erase(arguments.begin() + 1);
  }
  int failures = 0;
  for (QObject* test : tests) failures += QTest::qExec(test, static_cast<int>(arguments.size()), arguments.data());
  return failures == 0 ? 0 : 1;
}
