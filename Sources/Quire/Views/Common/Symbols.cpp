#include "Quire/Views/Common/Symbols.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace {

struct Symbol {
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

// A plus sign in the text colour: no style offers one.
QIcon drawnPlus() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(QApplication::palette().color(QPalette::ButtonText), 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(16, 6), QPointF(16, 26));
    painter.drawLine(QPointF(6, 16), QPointF(26, 16));
    return QIcon(pixmap);
}

// A character of the application font as a large icon, for symbols whose
// style icons come only small.
QIcon drawnGlyph(const QString& glyph) {
    QPixmap pixmap(128, 128);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = QApplication::font();
    font.setPixelSize(104);
    painter.setFont(font);
    painter.setPen(QApplication::palette().color(QPalette::WindowText));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

} // namespace

QIcon Symbols::icon(const QString& name) {
    static const QHash<QString, Symbol> table{
        {QStringLiteral("plus"), {"list-add", QStyle::SP_CustomBase}},
        {QStringLiteral("arrow.uturn.backward"), {"edit-undo", QStyle::SP_ArrowBack}},
        {QStringLiteral("arrow.uturn.forward"), {"edit-redo", QStyle::SP_ArrowForward}},
        {QStringLiteral("photo.on.rectangle.angled"), {"insert-image", QStyle::SP_DirIcon}},
        {QStringLiteral("sidebar.trailing"), {"view-split-left-right", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("music.note.list"), {"audio-x-generic", QStyle::SP_MediaVolume}},
        {QStringLiteral("tray.and.arrow.down"), {"document-save", QStyle::SP_DialogSaveButton}},
        {QStringLiteral("folder"), {"folder-open", QStyle::SP_DirOpenIcon}},
        {QStringLiteral("tag"), {"tag", QStyle::SP_CustomBase}},
        {QStringLiteral("checkmark"), {"object-select", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("music.note"), {"audio-x-generic", QStyle::SP_CustomBase}},
        {QStringLiteral("mic"), {"audio-input-microphone", QStyle::SP_CustomBase}},
        {QStringLiteral("music.quarternote.3"), {"audio-x-generic", QStyle::SP_CustomBase}},
        {QStringLiteral("photo.badge.plus"), {"insert-image", QStyle::SP_CustomBase}},
        {QStringLiteral("photo.stack"), {"folder-pictures", QStyle::SP_CustomBase}},
        {QStringLiteral("ellipsis.circle"), {"view-more", QStyle::SP_CustomBase}},
        {QStringLiteral("trash"), {"edit-delete", QStyle::SP_TrashIcon}},
        // The command palette's and the preferences' symbols.
        {QStringLiteral("square.and.arrow.down"), {"document-save", QStyle::SP_DialogSaveButton}},
        {QStringLiteral("rectangle.on.rectangle"), {"edit-copy", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("pencil"), {"edit-rename", QStyle::SP_FileLinkIcon}},
        {QStringLiteral("list.number"), {"format-list-ordered", QStyle::SP_FileDialogListView}},
        {QStringLiteral("textformat"), {"format-text-bold", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("textformat.size"), {"format-font-size-more", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("magnifyingglass"), {"edit-find", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("square.and.arrow.up.on.rectangle"), {"document-export", QStyle::SP_ArrowUp}},
        {QStringLiteral("xmark.circle.fill"), {"edit-clear", QStyle::SP_LineEditClearButton}},
        {QStringLiteral("photo"), {"image-x-generic", QStyle::SP_DesktopIcon}},
        // The menus' symbols.
        {QStringLiteral("doc.on.doc"), {"edit-copy", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("doc.on.clipboard"), {"edit-paste", QStyle::SP_ArrowDown}},
        {QStringLiteral("square.and.arrow.up"), {"document-export", QStyle::SP_ArrowUp}},
        {QStringLiteral("minus.circle"), {"list-remove", QStyle::SP_DialogCancelButton}},
        // The marks of a value kept as stored and of tags read in part.
        {QStringLiteral("exclamationmark.triangle"), {"dialog-warning", QStyle::SP_MessageBoxWarning}},
    };
    // Drawn characters for symbols that no style offers.
    static const QHash<QString, QString> glyphs{
        {QStringLiteral("music.note.list"), QStringLiteral("♫")},
        {QStringLiteral("music.note"), QStringLiteral("♪")},
        {QStringLiteral("music.quarternote.3"), QStringLiteral("♩")},
        {QStringLiteral("mic"), QStringLiteral("◉")},
        {QStringLiteral("tag"), QStringLiteral("✎")},
        {QStringLiteral("photo.badge.plus"), QStringLiteral("⊞")},
        {QStringLiteral("photo.stack"), QStringLiteral("❐")},
        {QStringLiteral("ellipsis.circle"), QStringLiteral("⋯")},
    };
    const auto found = table.constFind(name);
    if (found == table.constEnd())
        return {};
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(found->themeName));
    if (!themed.isNull())
        return themed;
    if (const auto glyph = glyphs.constFind(name); glyph != glyphs.constEnd())
        return drawnGlyph(*glyph);
    if (found->fallback == QStyle::SP_CustomBase)
        return drawnPlus();
    return QApplication::style()->standardIcon(found->fallback);
}

QPixmap Symbols::dot(QColor color, int diameter) {
    const qreal ratio = 2; // drawn at twice the size so it stays round on dense screens
    QPixmap pixmap(QSize(diameter, diameter) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
    painter.end();
    return pixmap;
}
