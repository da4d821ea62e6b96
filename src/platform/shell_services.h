#pragma once

#include <string>

namespace salvex {

// What the desktop does for the program: open a file with the program it
// associates with the file's type (or let the user choose one), open a web
// page, show a folder in the file manager.
class ShellServices {
 public:
  virtual ~ShellServices() = default;
  // False when nothing could be started; `error` then says why.
  virtual bool OpenFile(const std::string& path, bool chooseProgram, std::string& error) = 0;
  virtual void OpenUrl(const std::string& url) = 0;
  // Shows the folder in the desktop's file manager; false with `error` set
  // when nothing could be started.
  virtual bool OpenFolder(const std::string& path, std::string& error) = 0;
};

}  // namespace salvex
