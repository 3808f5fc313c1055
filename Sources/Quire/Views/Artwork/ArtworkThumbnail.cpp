#include "Quire/Views/Artwork/ArtworkThumbnail.h"

#include "Quire/Views/Artwork/PictureLoading.h"
#include "Quire/Views/Common/Symbols.h"

#include <QCache>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// Recently shown pictures by record id and pixel size, so that going back to a selection shows its
// picture at once. A record's bytes never change under its id. GUI thread only.
QCache<QString, QImage>& recentPictures() {
    static QCache<QString, QImage> cache(48);
    return cache;
}

QString cacheKey(const Artwork& artwork, QSize pixels) {
    return artwork.id.toString(QUuid::WithoutBraces) +
           QStringLiteral("@%1x%2").arg(pixels.width()).arg(pixels.height());
}

} // namespace

ArtworkThumbnail::ArtworkThumbnail(int maxSize, QWidget* parent)
    : QWidget(parent)
    , m_maxSize(maxSize) {
    setFixedSize(maxSize, maxSize);
}

void ArtworkThumbnail::setArtwork(const std::optional<Artwork>& artwork, const PictureSource& source) {
    if (artwork == m_artwork)
        return;
    m_artwork = artwork;
    m_image = {};
    const quint64 generation = ++m_generation;
    m_loading = false;
    if (artwork) {
        const QSize pixels = QSize(m_maxSize, m_maxSize) * devicePixelRatioF();
        const QString key = cacheKey(*artwork, pixels);
        if (const QImage* cached = recentPictures().object(key)) {
            m_image = *cached;
        } else {
            m_loading = true;
            auto* watcher = new QFutureWatcher<QImage>(this);
            connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, generation, key] {
                const QImage image = watcher->result();
                watcher->deleteLater();
                recentPictures().insert(key, new QImage(image));
                showResult(generation, image);
            });
            watcher->setFuture(PictureLoading::decodeToFitLater(*artwork, source, pixels));
        }
    }
    update();
    if (!m_loading)
        emit loaded();
}

void ArtworkThumbnail::showResult(quint64 generation, const QImage& image) {
    if (generation != m_generation)
        return; // a picture shown before this one
    m_loading = false;
    m_image = image;
    update();
    emit loaded();
}

void ArtworkThumbnail::setOutlined(bool outlined) {
    if (outlined == m_outlined)
        return;
    m_outlined = outlined;
    update();
}

void ArtworkThumbnail::setDropTargeted(bool targeted) {
    if (targeted == m_dropTargeted)
        return;
    m_dropTargeted = targeted;
    update();
}

void ArtworkThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal radius = m_maxSize > 80 ? 12 : 6;
    const QRectF square = QRectF(rect()).adjusted(1, 1, -1, -1);

    if (!m_image.isNull()) {
        QSizeF shown = QSizeF(m_image.size()) / m_image.devicePixelRatio();
        shown.scale(square.size(), Qt::KeepAspectRatio);
        const QRectF target(square.center() - QPointF(shown.width() / 2, shown.height() / 2), shown);
        // A soft shadow under the picture.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawRoundedRect(target.translated(0, 1), radius, radius);
        QPainterPath clip;
        clip.addRoundedRect(target, radius, radius);
        painter.save();
        painter.setClipPath(clip);
        painter.drawImage(target, m_image);
        painter.restore();
    } else {
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.08);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(square, radius, radius);
        if (showsPlaceholder()) {
            const int symbolSize = std::max(12, m_maxSize / 3);
            const QPixmap note = Symbols::icon(QStringLiteral("music.note")).pixmap(symbolSize, symbolSize);
            const bool roomForText = m_maxSize >= 64;
            const QPointF symbolAt(square.center().x() - symbolSize / 2.0,
                                   roomForText ? square.top() + m_maxSize * 0.18
                                               : square.center().y() - symbolSize / 2.0);
            painter.setOpacity(0.6);
            painter.drawPixmap(symbolAt, note);
            painter.setOpacity(1);
            if (roomForText) {
                QFont small = font();
                small.setPointSizeF(font().pointSizeF() * 0.75);
                painter.setFont(small);
                painter.setPen(palette().color(QPalette::PlaceholderText));
                const QString format = m_artwork->format == ImageFormat::unknown
                                           ? tr("Unknown")
                                           : rawValue(m_artwork->format).toUpper();
                const QRectF textArea(square.left() + 2, symbolAt.y() + symbolSize + 2, square.width() - 4,
                                      square.bottom() - symbolAt.y() - symbolSize - 4);
                painter.drawText(textArea, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                                 format + u'\n' + m_artwork->formattedSize());
            }
        }
    }

    if (m_outlined || m_dropTargeted) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRoundedRect(square, radius, radius);
    }
}

void ArtworkThumbnail::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}
