#include "Quire/ViewModels/ArtworkProcessing.h"

#include "Platform/ImageServices.h"

#include <QCoreApplication>
#include <QHash>
#include <QUuid>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace ArtworkProcessing {

namespace {

// What re-encoding makes of one image, before a picture record is built around it: the part that equal
// pictures share.
struct EncodedPicture {
    QByteArray data;
    ImageFormat format = ImageFormat::unknown;
    qint64 width = 0;
    qint64 height = 0;
};

std::optional<EncodedPicture> encode(const QImage& image, double quality) {
    EncodedPicture encoded;
    if (std::optional<QByteArray> jpeg = Platform::encodeJpeg(image, quality)) {
        encoded.data = std::move(*jpeg);
        encoded.format = ImageFormat::jpeg;
    } else if (std::optional<QByteArray> tiff = Platform::encodeTiff(image)) {
        encoded.data = std::move(*tiff);
        encoded.format = ImageFormat::tiff;
    } else {
        return std::nullopt;
    }
    const auto size = Artwork::dimensions(encoded.data);
    encoded.width = size ? size->first : image.width();
    encoded.height = size ? size->second : image.height();
    return encoded;
}

Artwork pictureRecord(const EncodedPicture& encoded, ArtworkType type,
                      const std::optional<QString>& description) {
    return Artwork{QUuid::createUuid(), encoded.data,        encoded.format, encoded.width,
                   encoded.height,      encoded.data.size(), type,           description};
}

std::optional<EncodedPicture> optimizedBytes(const QByteArray& data, int maxDimension, double quality) {
    const std::optional<QImage> image = Platform::decodeImage(data);
    if (!image)
        return std::nullopt;
    const std::optional<QImage> resized = resizeImage(*image, maxDimension);
    if (!resized)
        return std::nullopt;
    return encode(*resized, quality);
}

Artwork withOptimizedBytes(const Artwork& original, const std::optional<EncodedPicture>& encoded) {
    return encoded ? pictureRecord(*encoded, original.type, original.description) : original;
}

QString percentText(double percent) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f%%", percent);
    return QString::fromLatin1(text);
}

} // namespace

QSize fittedSize(QSize size, int maxDimension) {
    const int width = size.width(), height = size.height();
    if ((width <= maxDimension && height <= maxDimension) || width <= 0 || height <= 0)
        return size;
    const double factor =
        std::min(static_cast<double>(maxDimension) / width, static_cast<double>(maxDimension) / height);
    // A very thin picture would truncate to an empty edge, and an empty image cannot be encoded.
    return {std::max(1, static_cast<int>(width * factor)), std::max(1, static_cast<int>(height * factor))};
}

std::optional<QImage> resizeImage(const QImage& image, int maxDimension) {
    const QSize target = fittedSize(image.size(), maxDimension);
    if (target == image.size())
        return image;
    return Platform::scaled(image, target.width(), target.height());
}

std::optional<Artwork> recompress(const QImage& image, double quality, ArtworkType type,
                                  const std::optional<QString>& description) {
    const std::optional<EncodedPicture> encoded = encode(image, quality);
    if (!encoded)
        return std::nullopt;
    return pictureRecord(*encoded, type, description);
}

Artwork optimizeSingle(const Artwork& artwork, int maxDimension, double quality) {
    return withOptimizedBytes(artwork, optimizedBytes(artwork.data, maxDimension, quality));
}

QList<QList<Artwork>> optimizeAll(const QList<QList<Artwork>>& pictureLists, int maxDimension, double quality,
                                  PictureSharing sharing,
                                  const std::function<void(qint64 completed, qint64 total)>& progress) {
    // The image work: each distinct byte buffer once (or every picture), in first-seen order. Each picture
    // remembers which piece of work is its own.
    QList<QByteArray> work;
    QHash<QByteArray, qsizetype> workForBytes;
    QList<QList<qsizetype>> workOfPicture;
    workOfPicture.reserve(pictureLists.size());
    for (const QList<Artwork>& pictures : pictureLists) {
        QList<qsizetype> indexes;
        indexes.reserve(pictures.size());
        for (const Artwork& picture : pictures) {
            if (sharing == PictureSharing::encodeOnce) {
                qsizetype index = workForBytes.value(picture.data, -1);
                if (index < 0) {
                    index = work.size();
                    workForBytes.insert(picture.data, index);
                    work.append(picture.data);
                }
                indexes.append(index);
            } else {
                indexes.append(work.size());
                work.append(picture.data);
            }
        }
        workOfPicture.append(indexes);
    }

    std::atomic<qint64> done{0};
    const auto results = QtConcurrent::blockingMapped<QList<std::optional<EncodedPicture>>>(
        work, [&, total = qint64{work.size()}](const QByteArray& data) {
            std::optional<EncodedPicture> encoded = optimizedBytes(data, maxDimension, quality);
            if (progress)
                progress(++done, total);
            return encoded;
        });

    // Records are built here, one per occurrence, so shared pictures still get ids of their own.
    QList<QList<Artwork>> optimized;
    optimized.reserve(pictureLists.size());
    for (qsizetype list = 0; list < pictureLists.size(); ++list) {
        QList<Artwork> pictures;
        pictures.reserve(pictureLists[list].size());
        for (qsizetype i = 0; i < pictureLists[list].size(); ++i)
            pictures.append(withOptimizedBytes(pictureLists[list][i], results[workOfPicture[list][i]]));
        optimized.append(pictures);
    }
    return optimized;
}

std::optional<Artwork> coverArtwork(const QImage& image) {
    std::optional<QByteArray> jpeg = Platform::encodeJpeg(image, 0.9);
    if (!jpeg)
        return std::nullopt;
    const auto size = Artwork::dimensions(*jpeg);
    const EncodedPicture encoded{*jpeg, ImageFormat::jpeg, size ? size->first : image.width(),
                                 size ? size->second : image.height()};
    return pictureRecord(encoded, ArtworkType::frontCover, std::nullopt);
}

std::optional<Artwork> coverArtworkFromFile(const QUrl& location) {
    const std::optional<QImage> image = Platform::decodeImageFile(location);
    return image ? coverArtwork(*image) : std::nullopt;
}

QString exportFileName(const QString& stem, qsizetype position, qsizetype count, ImageFormat format) {
    const QString suffix = count == 1 ? QStringLiteral("-artwork") : QStringLiteral("-frame%1").arg(position);
    return stem + suffix + u'.' + fileExtension(format);
}

qint64 currentTotalSize(const QList<AudioFile>& selectedFiles) {
    qint64 total = 0;
    for (const AudioFile& file : selectedFiles) {
        for (const Artwork& picture : file.artwork())
            total += picture.sizeBytes;
    }
    return total;
}

qint64 estimatedSize(const QList<AudioFile>& selectedFiles, int maxDimension, double quality) {
    if (selectedFiles.isEmpty() || selectedFiles.first().artwork().isEmpty())
        return 0;
    const std::optional<QImage> image = Platform::decodeImage(selectedFiles.first().artwork().first().data);
    if (!image)
        return 0;
    const std::optional<QImage> resized = resizeImage(*image, maxDimension);
    if (!resized)
        return 0;
    const std::optional<QByteArray> jpeg = Platform::encodeJpeg(*resized, quality);
    return jpeg ? jpeg->size() : 0;
}

qint64 frameCount(const QList<AudioFile>& selectedFiles) {
    if (selectedFiles.isEmpty() || selectedFiles.first().artwork().isEmpty())
        return 1;
    return selectedFiles.first().artwork().size();
}

ArtworkEstimate ArtworkEstimate::of(const QList<AudioFile>& selectedFiles, int maxDimension, double quality) {
    return {ArtworkProcessing::currentTotalSize(selectedFiles),
            ArtworkProcessing::estimatedSize(selectedFiles, maxDimension, quality),
            frameCount(selectedFiles)};
}

std::optional<double> ArtworkEstimate::ratio() const {
    const qint64 currentPerFrame = currentTotalSize / std::max<qint64>(frames, 1);
    if (currentPerFrame == 0)
        return std::nullopt;
    return static_cast<double>(estimatedSize) / static_cast<double>(currentPerFrame);
}

std::optional<SizeChangeCaption> ArtworkEstimate::caption() const {
    const std::optional<double> change = ratio();
    if (currentTotalSize < 1 || estimatedSize <= 0 || !change)
        return std::nullopt;
    if (*change < 1)
        return SizeChangeCaption{QCoreApplication::translate("ArtworkOptimizeSheet", "↓ %1 smaller")
                                     .arg(percentText((1 - *change) * 100)),
                                 true};
    return SizeChangeCaption{QCoreApplication::translate("ArtworkOptimizeSheet", "↑ %1 larger")
                                 .arg(percentText((*change - 1) * 100)),
                             false};
}

} // namespace ArtworkProcessing
