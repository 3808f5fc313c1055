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

QFuture<QImage> decodeToFitLater(const Artwork& picture, const PictureSource& source, QSize bounds) {
    return QtConcurrent::run(pool(), [picture, source, bounds] {
        const Result<QByteArray, TagReaderError> bytes = source.bytes(picture);
        return bytes ? decodeToFit(bytes.value(), bounds) : QImage();
    });
}

} // namespace PictureLoading
