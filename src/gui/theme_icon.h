#pragma once

#include <QIcon>
#include <QString>

namespace salvex::gui {

// An icon of the desktop's theme, or the program's own picture (a Qt
// resource) when the theme has none by that name.
QIcon ThemeIcon(const QString& name, const QString& fallbackResource);

// The trees' pictures: the computer at the disk tree's and the items tree's
// root, a disk for disks and partitions, a folder that opens when selected.
enum class TreeImage { computer, disk, folder };
QIcon TreeIcon(TreeImage image);

// Makes the program's own pictures (a resource of this static library)
// available; once, before the first window.
void LoadBundledIcons();

// Chooses the icon theme when the desktop names none (a bare X server, the
// offscreen platform), so theme look-ups find the installed icons.
void ChooseIconTheme();

}  // namespace salvex::gui
