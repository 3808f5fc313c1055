#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagReader.h"

#include "Platform/FileSystem.h"
#include "QuireCore/TagFieldTable.h"
#include "QuireCore/TextInterning.h"

namespace {

std::optional<QString> text(const std::optional<std::string>& utf8) {
    // Invalid sequences become U+FFFD.
    return utf8 ? std::optional(QString::fromUtf8(utf8->data(), static_cast<qsizetype>(utf8->size())))
                : std::nullopt;
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

Artwork artworkOf(const BridgePicture& picture) {
    Artwork artwork;
    artwork.id = QUuid::createUuid();
    artwork.data = picture.data;
    artwork.digest = picture.digest;
    artwork.format = imageFormatOfMimeType(text(picture.mimeType).value_or(QString()));
    // Measured where the bytes were read: never parsed in this process.
    artwork.width = picture.width;
    artwork.height = picture.height;
    artwork.sizeBytes = picture.size;
    artwork.type = artworkTypeFromId3v2PictureType(picture.pictureType);
    artwork.description = text(picture.description);
    return artwork;
}

} // namespace

ReadResult readTags(const TagLibAccess& access, const QUrl& url, PictureContent pictures) {
    const std::optional<QByteArray> path = Platform::fileSystemPath(url);
    if (!path)
        return TagReaderError::failedToOpen();
    const BridgeReadResult result = access.read(path->toStdString(), pictures);
    if (!result)
        return result.error();
    const BridgeRecord& record = result.value();

    const AudioFormat format = detectAudioFormat(url).value_or(AudioFormat::mp3);
    AudioProperties properties;
    properties.duration = record.duration;
    properties.bitrate = record.bitrate;
    properties.sampleRate = record.sampleRate;
    properties.channels = record.channels;
    properties.codec = text(record.codec).value_or(displayName(format));

    QList<Artwork> artwork;
    artwork.reserve(static_cast<qsizetype>(record.pictures.size()));
    for (const BridgePicture& picture : record.pictures)
        artwork.append(artworkOf(picture));

    AudioFile file(QUuid::createUuid(), url, format, std::nullopt, properties,
                   withSharedTexts(tagSetOf(record)), std::move(artwork));
    file.setReadInPart(record.readInPart);
    return file;
}

ReadResult TagLibTagReader::read(const QUrl& url) const {
    return readTags(defaultTagLibAccess(), url, PictureContent::descriptions);
}

PicturesResult TagLibTagReader::readPictures(const QUrl& url) const {
    ReadResult read = readTags(defaultTagLibAccess(), url, PictureContent::bytes);
    if (!read)
        return read.error();
    return read.value().artwork();
}
