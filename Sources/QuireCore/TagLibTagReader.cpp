#include "QuireCore/TagReader.h"

#include "CTagLibBridge.h"
#include "Platform/FileSystem.h"

#include <memory>

namespace {

struct RecordDeleter {
    void operator()(CTagLibTag* record) const { ctaglib_free_result(record); }
};
using Record = std::unique_ptr<CTagLibTag, RecordDeleter>;

std::optional<QString> text(const char* utf8) {
    // Invalid sequences become U+FFFD.
    return utf8 ? std::optional(QString::fromUtf8(utf8)) : std::nullopt;
}

std::optional<qint64> number(int32_t value, int32_t present) {
    return present == 1 ? std::optional<qint64>(value) : std::nullopt;
}

// Case-sensitive, in this order: "IMAGE/JPEG" and "image/gif" are unknown.
ImageFormat imageFormatOfMimeType(const QString& mime) {
    if (mime.contains(u"jpeg") || mime.contains(u"jpg"))
        return ImageFormat::jpeg;
    if (mime.contains(u"png"))
        return ImageFormat::png;
    if (mime.contains(u"bmp"))
        return ImageFormat::bmp;
    if (mime.contains(u"tiff"))
        return ImageFormat::tiff;
    return ImageFormat::unknown;
}

Artwork artworkOf(const CTagLibArtwork& picture) {
    Artwork artwork;
    artwork.id = QUuid::createUuid();
    artwork.data =
        QByteArray(reinterpret_cast<const char*>(picture.data), static_cast<qsizetype>(picture.size));
    artwork.format = imageFormatOfMimeType(text(picture.mimeType).value_or(QString()));
    const auto size = Artwork::dimensions(artwork.data);
    artwork.width = size ? size->first : 0;
    artwork.height = size ? size->second : 0;
    artwork.sizeBytes = static_cast<qint64>(picture.size);
    artwork.type = artworkTypeFromId3v2PictureType(picture.pictureType);
    artwork.description = text(picture.description);
    return artwork;
}

TagSet tagsOf(const CTagLibTag& record) {
    TagSet tags;
    tags.title = text(record.title);
    tags.artist = text(record.artist);
    tags.album = text(record.album);
    tags.albumArtist = text(record.albumArtist);
    tags.composer = text(record.composer);
    tags.genre = text(record.genre);
    tags.comment = text(record.comment);
    tags.lyrics = text(record.lyrics);
    tags.grouping = text(record.grouping);
    tags.year = number(record.year, record.hasYear);
    tags.trackNumber = number(record.track, record.hasTrack);
    tags.trackTotal = number(record.trackTotal, record.hasTrackTotal);
    tags.discNumber = number(record.disc, record.hasDisc);
    tags.discTotal = number(record.discTotal, record.hasDiscTotal);
    tags.bpm = number(record.bpm, record.hasBpm);
    if (record.compilation >= 0)
        tags.compilation = record.compilation == 1;
    return tags;
}

} // namespace

ReadResult TagLibTagReader::read(const QUrl& url) const {
    const std::optional<QByteArray> path = Platform::fileSystemPath(url);
    if (!path)
        return TagReaderError::failedToOpen();
    const Record record(ctaglib_read(path->constData()));
    if (!record)
        return TagReaderError::failedToOpen();
    if (record->error)
        return TagReaderError::readError(QString::fromUtf8(record->error));

    const AudioFormat format = detectAudioFormat(url).value_or(AudioFormat::mp3);
    AudioProperties properties;
    properties.duration = record->duration;
    properties.bitrate = record->bitrate;
    properties.sampleRate = record->sampleRate;
    properties.channels = record->channels;
    properties.codec = text(record->codec).value_or(displayName(format));

    QList<Artwork> artwork;
    artwork.reserve(qMax(0, record->artworkCount));
    for (int32_t i = 0; record->artwork && i < record->artworkCount; ++i)
        artwork.append(artworkOf(record->artwork[i]));

    return AudioFile(QUuid::createUuid(), url, format, std::nullopt, properties, tagsOf(*record),
                     std::move(artwork));
}
