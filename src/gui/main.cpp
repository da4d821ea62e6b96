// salvex-gui: the recovery wizard in a window.
//
//   salvex-gui [IMAGE...]    the machine's disks, then each image, as disks
//   salvex-gui --version

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui/gui_program.h"

#ifndef SALVEX_HOME_PAGE
#define SALVEX_HOME_PAGE ""
#endif

int main(int argc, char** argv) {
  // Answered before Qt looks for a display, so they work anywhere.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("salvex-gui %s\n", SALVEX_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("usage: salvex-gui [IMAGE...]\n"
                  "Opens the recovery wizard on this machine's disks and on each disk image given.\n"
                  "Reading a disk needs read access to its device: run as root or join the disk group.\n");
      return 0;
    }
  }
  QApplication application(argc, argv);
  salvex::gui::PrepareApplication();

  salvex::gui::GuiProgram::Settings settings;
  for (const QString& image : QApplication::arguments().mid(1)) settings.images.push_back(image.toStdString());
  settings.startFolder = QDir::currentPath().toStdString();
  settings.homePage = SALVEX_HOME_PAGE;
  salvex::gui::GuiProgram program(std::move(settings));
  program.Start();
  return application.exec();
}
