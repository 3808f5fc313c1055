#include "Quire/ViewModels/ArtworkProcessing.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QUuid>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace ArtworkProcessing {

namespace {

constexpr double coverQuality = 0.9;

Artwork pictureRecord(const EncodedPicture& encoded, ArtworkType type,
                      const std::optional<QString>& description) {
    Artwork artwork = Artwork::holding(encoded.data, encoded.format, type, description);
    artwork.width = encoded.width;
    artwork.height = encoded.height;
    return artwork;
}

std::optional<EncodedPicture> optimizedBytes(const QByteArray& data, int maxDimension, double quality,
                                             const PictureDecoder& decoder) {
    return decoder.encodePicture({data, maxDimension, quality, true});
}

// A front cover at the quality of set artwork, without the TIFF fallback.
std::optional<Artwork> coverArtworkFrom(std::variant<QByteArray, std::string> source,
                                        const PictureDecoder& decoder) {
    const std::optional<EncodedPicture> encoded =
        decoder.encodePicture({std::move(source), std::nullopt, coverQuality, false});
    return encoded ? std::optional(pictureRecord(*encoded, ArtworkType::frontCover, std::nullopt))
                   : std::nullopt;
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

std::optional<Artwork> recompress(const QImage& image, double quality, ArtworkType type,
                                  const std::optional<QString>& description) {
    const std::optional<EncodedPicture> encoded = PictureWork::encoded(image, quality, true);
    if (!encoded)
        return std::nullopt;
    return pictureRecord(*encoded, type, description);
}

Artwork optimizeSingle(const Artwork& artwork, int maxDimension, double quality,
                       const PictureDecoder& decoder) {
    return withOptimizedBytes(artwork, optimizedBytes(artwork.data, maxDimension, quality, decoder));
}

QList<QList<Artwork>> optimizeAll(const QList<QList<Artwork>>& pictureLists, int maxDimension, double quality,
                                  PictureSharing sharing,
                                  const std::function<void(qint64 completed, qint64 total)>& progress,
                                  const PictureDecoder& decoder, const QList<PictureSource>& sources) {
    // The image work: each distinct picture once (or every picture), in first-seen order, with where its
    // bytes are when it does not hold them. Each picture remembers which piece of work is its own.
    struct Work {
        Artwork picture;
        PictureSource source;
    };
    QList<Work> work;
    QHash<QByteArray, qsizetype> workForDigest;
    QList<QList<qsizetype>> workOfPicture;
    workOfPicture.reserve(pictureLists.size());
    for (qsizetype list = 0; list < pictureLists.size(); ++list) {
        const QList<Artwork>& pictures = pictureLists[list];
        const PictureSource source = list < sources.size() ? sources[list] : PictureSource{};
        QList<qsizetype> indexes;
        indexes.reserve(pictures.size());
        for (const Artwork& picture : pictures) {
            if (sharing == PictureSharing::encodeOnce) {
                qsizetype index = workForDigest.value(picture.digest, -1);
                if (index < 0) {
                    index = work.size();
                    workForDigest.insert(picture.digest, index);
                    work.append({picture, source});
                }
                indexes.append(index);
            } else {
                indexes.append(work.size());
                work.append({picture, source});
            }
        }
        workOfPicture.append(indexes);
    }

    // A picture its file no longer holds stays as it is.
    std::atomic<qint64> done{0};
    const auto results = QtConcurrent::blockingMapped<QList<std::optional<EncodedPicture>>>(
        work, [&, total = qint64{work.size()}](const Work& piece) {
            const Result<QByteArray, TagReaderError> data = piece.source.bytes(piece.picture);
            std::optional<EncodedPicture> encoded =
                data ? optimizedBytes(data.value(), maxDimension, quality, decoder) : std::nullopt;
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
    const std::optional<EncodedPicture> encoded = PictureWork::encoded(image, coverQuality, false);
    return encoded ? std::optional(pictureRecord(*encoded, ArtworkType::frontCover, std::nullopt))
                   : std::nullopt;
}

std::optional<Artwork> coverArtworkFromFile(const QUrl& location, const PictureDecoder& decoder) {
    if (!location.isLocalFile())
        return std::nullopt;
    return coverArtworkFrom(QFile::encodeName(location.toLocalFile()).toStdString(), decoder);
}

std::optional<Artwork> coverArtworkFromBytes(const QByteArray& bytes, const PictureDecoder& decoder) {
    return coverArtworkFrom(bytes, decoder);
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

qint64 estimatedSize(const QList<AudioFile>& selectedFiles, const PictureSource& firstFile, int maxDimension,
                     double quality, const PictureDecoder& decoder) {
    if (selectedFiles.isEmpty() || selectedFiles.first().artwork().isEmpty())
        return 0;
    const Result<QByteArray, TagReaderError> bytes = firstFile.bytes(selectedFiles.first().artwork().first());
    if (!bytes)
        return 0;
    const std::optional<EncodedPicture> jpeg =
        decoder.encodePicture({bytes.value(), maxDimension, quality, false});
    return jpeg ? jpeg->data.size() : 0;
}

qint64 frameCount(const QList<AudioFile>& selectedFiles) {
    if (selectedFiles.isEmpty() || selectedFiles.first().artwork().isEmpty())
        return 1;
    return selectedFiles.first().artwork().size();
}

ArtworkEstimate ArtworkEstimate::of(const QList<AudioFile>& selectedFiles, const PictureSource& firstFile,
                                    int maxDimension, double quality) {
    return {ArtworkProcessing::currentTotalSize(selectedFiles),
            ArtworkProcessing::estimatedSize(selectedFiles, firstFile, maxDimension, quality),
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
