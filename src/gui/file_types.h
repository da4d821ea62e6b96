#pragma once

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

#include <string>
#include <string_view>

namespace salvex::gui {

// What the desktop knows about a file from its name alone (the file is
// never touched): its type's description for the list's Type column, and
// its type's icon. Deleted items get a deleted emblem on their icon. Look-ups
// are remembered per type, so a folder of 200,000 files costs a few.
// The window's thread only.
class FileTypes {
 public:
  FileTypes();

  std::string TypeName(std::string_view fileName);
  QIcon FileIcon(std::string_view fileName, bool deleted);
  QIcon FolderIcon(bool deleted);
  // A deleted file whose clusters are now other files': a warning emblem.
  QIcon OverwrittenIcon();

 private:
  QMimeType TypeOf(std::string_view fileName) const;
  QIcon WithEmblem(const QIcon& icon);

  QMimeDatabase database_;
  QHash<QString, QIcon> icons_;         // by MIME type name, then deleted ones under "!" + name
  QHash<QString, std::string> names_;   // by MIME type name
  QIcon folder_;
  QIcon deletedFolder_;
  QIcon emblem_;
  QIcon overwritten_;
};

}  // namespace salvex::gui
