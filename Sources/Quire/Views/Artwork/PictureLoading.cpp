#include "Quire/Views/Artwork/PictureLoading.h"

#include "QuireCore/PictureDecoder.h"

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
    return defaultPictureDecoder().fitImage({data, bounds.width(), bounds.height()}).value_or(QImage());
}

QFuture<QImage> decodeToFitLater(const QByteArray& data, QSize bounds) {
    return QtConcurrent::run(pool(), [data, bounds] { return decodeToFit(data, bounds); });
}

} // namespace PictureLoading
