#include "Quire/Views/Common/Symbols.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <functional>

namespace {

// Draws into a square of side 1 (the painter is scaled to the icon's size), in the given colour.
using Drawing = std::function<void(QPainter&, const QColor&)>;

// An icon drawn when it is asked for, in the palette's text colour of that moment: it renders without
// an icon theme or any particular font, and follows the palette when the desktop turns dark.
class DrawnIconEngine : public QIconEngine {
public:
    DrawnIconEngine(Drawing drawing, std::optional<QColor> colour)
        : m_drawing(std::move(drawing))
        , m_colour(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QApplication::palette();
        QColor colour = m_colour.value_or(palette.color(
            QPalette::Active, mode == QIcon::Selected ? QPalette::HighlightedText : QPalette::WindowText));
        if (mode == QIcon::Disabled)
            colour = palette.color(QPalette::Disabled, QPalette::WindowText);
        const qreal side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::TextAntialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
        painter->scale(side, side);
        m_drawing(*painter, colour);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(*this); }
    QString key() const override { return QStringLiteral("CadenzaDrawnIcon"); }

private:
    Drawing m_drawing;
    std::optional<QColor> m_colour; // a fixed colour, where the colour says something
};

QPen line(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void plus(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.11));
    painter.drawLine(QPointF(0.5, 0.2), QPointF(0.5, 0.8));
    painter.drawLine(QPointF(0.2, 0.5), QPointF(0.8, 0.5));
}

void checkMark(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.12));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF{QPointF(0.2, 0.52), QPointF(0.42, 0.74), QPointF(0.82, 0.28)});
}

// The window with a pane on its right.
void sidebar(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.07));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(0.12, 0.2, 0.76, 0.6), 0.08, 0.08);
    painter.drawLine(QPointF(0.6, 0.2), QPointF(0.6, 0.8));
}

// A curved arrow back to the left; mirrored, forward to the right.
void uturn(QPainter& painter, const QColor& colour, bool forward) {
    if (forward) {
        painter.translate(1, 0);
        painter.scale(-1, 1);
    }
    painter.setPen(line(colour, 0.08));
    painter.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(0.78, 0.78);
    path.cubicTo(0.78, 0.5, 0.64, 0.38, 0.28, 0.38);
    painter.drawPath(path);
    painter.drawPolyline(QPolygonF{QPointF(0.42, 0.22), QPointF(0.26, 0.38), QPointF(0.42, 0.54)});
}

void ellipsis(QPainter& painter, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (const qreal x : {0.24, 0.5, 0.76})
        painter.drawEllipse(QPointF(x, 0.5), 0.075, 0.075);
}

void magnifier(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.09));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0.42, 0.42), 0.22, 0.22);
    painter.drawLine(QPointF(0.58, 0.58), QPointF(0.8, 0.8));
}

// Two sheets, one over the other.
void copies(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.07));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(0.16, 0.14, 0.46, 0.52), 0.06, 0.06);
    painter.drawRoundedRect(QRectF(0.38, 0.34, 0.46, 0.52), 0.06, 0.06);
}

void clipboard(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.07));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(0.2, 0.18, 0.6, 0.68), 0.06, 0.06);
    painter.drawRoundedRect(QRectF(0.36, 0.1, 0.28, 0.14), 0.04, 0.04);
}

// A tray with an arrow out of it.
void exportArrow(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.08));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(
        QPolygonF{QPointF(0.2, 0.56), QPointF(0.2, 0.84), QPointF(0.8, 0.84), QPointF(0.8, 0.56)});
    painter.drawLine(QPointF(0.5, 0.66), QPointF(0.5, 0.14));
    painter.drawPolyline(QPolygonF{QPointF(0.34, 0.3), QPointF(0.5, 0.14), QPointF(0.66, 0.3)});
}

void minusCircle(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.08));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0.5, 0.5), 0.34, 0.34);
    painter.drawLine(QPointF(0.34, 0.5), QPointF(0.66, 0.5));
}

// Pictures: a frame with a hill and a sun.
void picture(QPainter& painter, const QColor& colour) {
    painter.setPen(line(colour, 0.07));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(0.12, 0.2, 0.76, 0.6), 0.08, 0.08);
    painter.drawPolyline(QPolygonF{QPointF(0.14, 0.72), QPointF(0.38, 0.48), QPointF(0.58, 0.66),
                                   QPointF(0.68, 0.56), QPointF(0.86, 0.72)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(0.66, 0.37), 0.06, 0.06);
}

// A character of the fonts every system has (DejaVu Sans covers these), for symbols no drawing suits.
Drawing glyph(const QString& text) {
    return [text](QPainter& painter, const QColor& colour) {
        QFont font = QApplication::font();
        font.setPixelSize(100);
        painter.save();
        painter.scale(0.01, 0.01);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QRectF(0, 0, 100, 100), Qt::AlignCenter, text);
        painter.restore();
    };
}

QIcon drawn(const Drawing& drawing, std::optional<QColor> colour = std::nullopt) {
    return QIcon(new DrawnIconEngine(drawing, colour));
}

struct Symbol {
    QStringList themeNames;                                  // the first that the desktop's theme has is used
    QStyle::StandardPixmap standard = QStyle::SP_CustomBase; // SP_CustomBase: drawn instead
    Drawing drawing = {};
    std::optional<QColor> colour = {};
};

const QHash<QString, Symbol>& symbols() {
    const auto names = [](std::initializer_list<const char*> list) {
        QStringList result;
        for (const char* name : list)
            result.append(QString::fromLatin1(name));
        return result;
    };
    using S = QStyle;
    static const QHash<QString, Symbol> table{
        {QStringLiteral("plus"), {names({"list-add"}), S::SP_CustomBase, plus}},
        {QStringLiteral("arrow.uturn.backward"),
         {names({"edit-undo"}), S::SP_CustomBase, [](QPainter& p, const QColor& c) { uturn(p, c, false); }}},
        {QStringLiteral("arrow.uturn.forward"),
         {names({"edit-redo"}), S::SP_CustomBase, [](QPainter& p, const QColor& c) { uturn(p, c, true); }}},
        {QStringLiteral("photo.on.rectangle.angled"),
         {names({"insert-image", "image-x-generic"}), S::SP_CustomBase, picture}},
        {QStringLiteral("sidebar.trailing"),
         {names({"view-sidebar", "sidebar-show-right", "view-right-new", "view-split-left-right"}),
          S::SP_CustomBase, sidebar}},
        {QStringLiteral("music.note.list"),
         {names({"audio-x-generic"}), S::SP_CustomBase, glyph(QStringLiteral("♫"))}},
        {QStringLiteral("tray.and.arrow.down"), {names({"document-save"}), S::SP_DialogSaveButton}},
        {QStringLiteral("folder"), {names({"folder-open", "folder"}), S::SP_DirOpenIcon}},
        {QStringLiteral("tag"),
         {names({"tag", "bookmark-new"}), S::SP_CustomBase, glyph(QStringLiteral("✎"))}},
        {QStringLiteral("music.note"),
         {names({"audio-x-generic"}), S::SP_CustomBase, glyph(QStringLiteral("♪"))}},
        {QStringLiteral("mic"),
         {names({"audio-input-microphone"}), S::SP_CustomBase, glyph(QStringLiteral("◉"))}},
        {QStringLiteral("music.quarternote.3"),
         {names({"audio-x-generic"}), S::SP_CustomBase, glyph(QStringLiteral("♩"))}},
        {QStringLiteral("photo.badge.plus"), {names({"insert-image"}), S::SP_CustomBase, picture}},
        {QStringLiteral("photo.stack"),
         {names({"folder-pictures"}), S::SP_CustomBase, glyph(QStringLiteral("❐"))}},
        {QStringLiteral("ellipsis.circle"),
         {names({"view-more", "view-more-horizontal", "application-menu"}), S::SP_CustomBase, ellipsis}},
        {QStringLiteral("trash"), {names({"edit-delete", "user-trash"}), S::SP_TrashIcon}},
        // The command palette's symbols.
        {QStringLiteral("square.and.arrow.down"), {names({"document-save"}), S::SP_DialogSaveButton}},
        {QStringLiteral("rectangle.on.rectangle"), {names({"edit-copy"}), S::SP_CustomBase, copies}},
        {QStringLiteral("pencil"), {names({"edit-rename"}), S::SP_CustomBase, glyph(QStringLiteral("✎"))}},
        {QStringLiteral("list.number"), {names({"format-list-ordered"}), S::SP_FileDialogListView}},
        {QStringLiteral("textformat"),
         {names({"format-text-bold"}), S::SP_CustomBase, glyph(QStringLiteral("Aa"))}},
        {QStringLiteral("textformat.size"),
         {names({"format-font-size-more"}), S::SP_CustomBase, glyph(QStringLiteral("aA"))}},
        {QStringLiteral("magnifyingglass"), {names({"edit-find"}), S::SP_CustomBase, magnifier}},
        {QStringLiteral("square.and.arrow.up.on.rectangle"),
         {names({"document-export"}), S::SP_CustomBase, exportArrow}},
        {QStringLiteral("xmark.circle.fill"), {names({"edit-clear"}), S::SP_LineEditClearButton}},
        {QStringLiteral("photo"), {names({"image-x-generic"}), S::SP_CustomBase, picture}},
        // The menus' symbols.
        {QStringLiteral("doc.on.doc"), {names({"edit-copy"}), S::SP_CustomBase, copies}},
        {QStringLiteral("doc.on.clipboard"), {names({"edit-paste"}), S::SP_CustomBase, clipboard}},
        {QStringLiteral("square.and.arrow.up"), {names({"document-export"}), S::SP_CustomBase, exportArrow}},
        {QStringLiteral("minus.circle"), {names({"list-remove"}), S::SP_CustomBase, minusCircle}},
        // The marks of a value kept as stored, of tags read in part and of results.
        {QStringLiteral("exclamationmark.triangle"), {names({"dialog-warning"}), S::SP_MessageBoxWarning}},
        {QStringLiteral("checkmark.circle"),
         {names({"emblem-ok", "emblem-default"}), S::SP_CustomBase, checkMark, QColor(40, 167, 69)}},
    };
    return table;
}

} // namespace

QIcon Symbols::icon(const QString& name) {
    const auto found = symbols().constFind(name);
    if (found == symbols().constEnd())
        return {};
    for (const QString& themeName : found->themeNames) {
        if (QIcon::hasThemeIcon(themeName))
            return QIcon::fromTheme(themeName);
    }
    if (found->drawing)
        return drawn(found->drawing, found->colour);
    return QApplication::style()->standardIcon(found->standard);
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
