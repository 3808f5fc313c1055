#include "Quire/Views/Artwork/PictureLoading.h"

#include <QBuffer>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>

namespace PictureLoading {

QThreadPool* pool() {
    static QThreadPool* const shared = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(2);
        return created;
    }();
    return shared;
}

QImage decodeToFit(const QByteArray& data, QSize bounds) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > bounds.width() || full.height() > bounds.height()))
        reader.setScaledSize(full.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    // Readers that cannot scale while decoding give the full size; rotation may swap the edges.
    if (image.width() > bounds.width() || image.height() > bounds.height())
        image = image.scaled(bounds, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QFuture<QImage> decodeToFitLater(const QByteArray& data, QSize bounds) {
    return QtConcurrent::run(pool(), [data, bounds] { return decodeToFit(data, bounds); });
}

} // namespace PictureLoading
