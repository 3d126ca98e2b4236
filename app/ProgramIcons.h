#pragma once

#include "app/LinkIcon.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's own icons, drawn in code.
namespace IconId {
inline constexpr int MainFrame = 128;
inline constexpr int Connect = 131;
inline constexpr int Disconnect = 132;
} // namespace IconId

// The icon with the given id, or a null icon for an unknown id.
QIcon loadProgramIcon(int id);

// The program's icon drawn at size by size pixels, for the window and for the
// icon theme of the desktop.
QImage programIconImage(int size);

// The link icon of the status bar at the given size.
QPixmap linkStatusPixmap(const LinkIconLook &look, const QSize &size);
