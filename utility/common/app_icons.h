// Icons and the logo of the utility. Command icons come from the desktop's
// icon theme when it has them; otherwise, and for the program icon and the
// logo, we draw our own.
#pragma once
#include <QIcon>
#include <QPixmap>

enum class CommandIcon { kAddServer, kRemoveServer, kWeb, kSearch };

QIcon IconFor(CommandIcon which);
QIcon ProgramIcon();
QPixmap LogoPixmap(const QSize& size);
