#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Named symbols of the window ("plus", "music.note.list", ...), each mapped
// to a freedesktop icon-theme name with a style icon (or a drawn glyph) as
// fallback, so that the window has icons with or without an icon theme.
namespace Symbols {
QIcon icon(const QString& name);
// A filled circle of the given diameter, for marks such as unsaved changes.
// A pixmap rather than an icon, so that selected rows do not tint it.
QPixmap dot(QColor color, int diameter);
} // namespace Symbols
