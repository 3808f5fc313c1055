#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Named symbols of the window ("plus", "music.note.list", ...), each mapped
// to freedesktop icon-theme names. Without a theme that has one, the symbol is
// drawn in the palette's text colour, or taken from the style, so that every
// symbol renders on any desktop, light or dark.
namespace Symbols {
QIcon icon(const QString& name);
// A filled circle of the given diameter, for marks such as unsaved changes.
// A pixmap rather than an icon, so that selected rows do not tint it.
QPixmap dot(QColor color, int diameter);
} // namespace Symbols
