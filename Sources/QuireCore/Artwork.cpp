#include "QuireCore/Artwork.h"

#include "Platform/ImageServices.h"
#include "QuireCore/RawValue.h"

#include <QCoreApplication>
#define XXH_INLINE_ALL
#include <algorithm>
#include <xxhash.h>

QString rawValue(ImageFormat format) {
    switch (format) {
    case ImageFormat::jpeg:
        return QStringLiteral("jpeg");
    case ImageFormat::png:
        return QStringLiteral("png");
    case ImageFormat::bmp:
        return QStringLiteral("bmp");
    case ImageFormat::tiff:
        return QStringLiteral("tiff");
    case ImageFormat::unknown:
        return QStringLiteral("unknown");
    }
    Q_UNREACHABLE();
}

std::optional<ImageFormat> imageFormatFromRawValue(QStringView raw) {
    return caseWithRawValue(allImageFormats, raw);
}

QString mimeType(ImageFormat format) {
    return format == ImageFormat::unknown ? QStringLiteral("application/octet-stream")
                                          : QStringLiteral("image/") + rawValue(format);
}

QString fileExtension(ImageFormat format) {
    switch (format) {
    case ImageFormat::jpeg:
        return QStringLiteral("jpg");
    case ImageFormat::unknown:
        return QStringLiteral("bin");
    default:
        return rawValue(format);
    }
}

namespace {

struct ArtworkTypeInfo {
    const char* rawValue;
    int code;
    const char* displayName;
};

const ArtworkTypeInfo& infoOf(ArtworkType type) {
    static const ArtworkTypeInfo table[] = {
        {"other", 0, QT_TRANSLATE_NOOP("ArtworkType", "Other")},
        {"frontCover", 3, QT_TRANSLATE_NOOP("ArtworkType", "Front Cover")},
        {"backCover", 4, QT_TRANSLATE_NOOP("ArtworkType", "Back Cover")},
        {"leafletPage", 5, QT_TRANSLATE_NOOP("ArtworkType", "Leaflet")},
        {"media", 6, QT_TRANSLATE_NOOP("ArtworkType", "Media")},
        {"artist", 8, QT_TRANSLATE_NOOP("ArtworkType", "Artist")},
        {"conductor", 9, QT_TRANSLATE_NOOP("ArtworkType", "Conductor")},
        {"recordingLocation", 13, QT_TRANSLATE_NOOP("ArtworkType", "Recording Location")},
        {"fileIcon", 1, QT_TRANSLATE_NOOP("ArtworkType", "File Icon")},
        {"otherFileIcon", 2, QT_TRANSLATE_NOOP("ArtworkType", "Other File Icon")},
        {"leadArtist", 7, QT_TRANSLATE_NOOP("ArtworkType", "Lead Artist")},
        {"band", 10, QT_TRANSLATE_NOOP("ArtworkType", "Band")},
        {"composer", 11, QT_TRANSLATE_NOOP("ArtworkType", "Composer")},
        {"lyricist", 12, QT_TRANSLATE_NOOP("ArtworkType", "Lyricist")},
        {"duringRecording", 14, QT_TRANSLATE_NOOP("ArtworkType", "During Recording")},
        {"duringPerformance", 15, QT_TRANSLATE_NOOP("ArtworkType", "During Performance")},
        {"videoCapture", 16, QT_TRANSLATE_NOOP("ArtworkType", "Video Capture")},
        {"brightColouredFish", 17, QT_TRANSLATE_NOOP("ArtworkType", "Bright Coloured Fish")},
        {"illustration", 18, QT_TRANSLATE_NOOP("ArtworkType", "Illustration")},
        {"bandLogo", 19, QT_TRANSLATE_NOOP("ArtworkType", "Band Logo")},
        {"publisherLogo", 20, QT_TRANSLATE_NOOP("ArtworkType", "Publisher Logo")},
    };
    return table[static_cast<int>(type)];
}

} // namespace

QString rawValue(ArtworkType type) {
    return QLatin1String(infoOf(type).rawValue);
}

std::optional<ArtworkType> artworkTypeFromRawValue(QStringView raw) {
    return caseWithRawValue(allArtworkTypes, raw);
}

QString displayName(ArtworkType type) {
    return QCoreApplication::translate("ArtworkType", infoOf(type).displayName);
}

int id3v2PictureType(ArtworkType type) {
    return infoOf(type).code;
}

ArtworkType artworkTypeFromId3v2PictureType(qint64 code) {
    for (ArtworkType type : allArtworkTypes) {
        if (id3v2PictureType(type) == code)
            return type;
    }
    return ArtworkType::other;
}

Artwork Artwork::holding(QByteArray bytes, ImageFormat format, ArtworkType type,
                         std::optional<QString> description) {
    Artwork artwork;
    artwork.id = QUuid::createUuid();
    artwork.digest = digestOf(bytes);
    artwork.sizeBytes = bytes.size();
    artwork.data = std::move(bytes);
    artwork.format = format;
    artwork.type = type;
    artwork.description = std::move(description);
    return artwork;
}

QByteArray Artwork::digestOf(QByteArrayView bytes) {
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), static_cast<size_t>(bytes.size()));
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest);
}

// Whether the bytes are held or not does not count: a picture read again is the same picture.
bool Artwork::operator==(const Artwork& other) const {
    return id == other.id && digest == other.digest && format == other.format && width == other.width &&
           height == other.height && sizeBytes == other.sizeBytes && type == other.type &&
           description == other.description;
}

bool Artwork::isSamePicture(const Artwork& a, const Artwork& b) {
    return a.digest == b.digest && a.format == b.format && a.type == b.type && a.description == b.description;
}

bool Artwork::areSamePictures(const QList<Artwork>& a, const QList<Artwork>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), isSamePicture);
}

QString Artwork::formattedSize() const {
    return formatByteCount(sizeBytes);
}

QString Artwork::formattedDimensions() const {
    return QStringLiteral("%1×%2").arg(width).arg(height);
}

std::optional<std::pair<qint64, qint64>> Artwork::dimensions(const QByteArray& data) {
    const std::optional<Platform::PixelSize> size = Platform::pixelSize(data);
    if (!size)
        return std::nullopt;
    return std::pair{size->width, size->height};
}

QString formatByteCount(qint64 bytes) {
    if (bytes == 0)
        return QCoreApplication::translate("ByteCount", "Zero KB");
    // Kilobytes as whole numbers up to a megabyte, then megabytes with one decimal.
    if (bytes < 999'500)
        return QStringLiteral("%1 KB").arg(qMax<qint64>(1, (bytes + 500) / 1000));
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / 1e6, 0, 'f', 1);
}

QJsonObject Artwork::toJson() const {
    QJsonObject json{{QStringLiteral("id"), uuidText(id)},
                     {QStringLiteral("digest"), QString::fromLatin1(digest.toHex())},
                     {QStringLiteral("format"), rawValue(format)},
                     {QStringLiteral("width"), width},
                     {QStringLiteral("height"), height},
                     {QStringLiteral("sizeBytes"), sizeBytes},
                     {QStringLiteral("type"), rawValue(type)}};
    if (description)
        json.insert(QStringLiteral("description"), *description);
    if (!data.isEmpty())
        json.insert(QStringLiteral("data"), QString::fromLatin1(data.toBase64()));
    return json;
}

Decoded<Artwork> Artwork::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "Artwork");
    Artwork artwork;
    artwork.id = record.requiredUuid("id");
    artwork.data = record.optionalBase64("data");
    artwork.digest = QByteArray::fromHex(record.optionalString("digest").value_or(QString()).toLatin1());
    if (!artwork.data.isEmpty())
        artwork.digest = digestOf(artwork.data); // the bytes decide, whatever the record says
    else if (artwork.digest.size() != 16)
        record.fail("digest", QStringLiteral("a picture without its bytes needs a digest"));
    artwork.format = record.requiredEnum("format", imageFormatFromRawValue, ImageFormat::unknown);
    artwork.width = record.requiredInteger("width");
    artwork.height = record.requiredInteger("height");
    artwork.sizeBytes = record.requiredInteger("sizeBytes");
    artwork.type = record.requiredEnum("type", artworkTypeFromRawValue, ArtworkType::other);
    artwork.description = record.optionalString("description");
    return record.finish(std::move(artwork));
}
