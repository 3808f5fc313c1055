#pragma once

#include "QuireCore/JsonDecoding.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <array>
#include <optional>
#include <utility>

// The encoding of picture bytes. There is no GIF case: GIF pictures are `unknown`.
enum class ImageFormat { jpeg, png, bmp, tiff, unknown };

inline constexpr std::array<ImageFormat, 5> allImageFormats = {
    ImageFormat::jpeg, ImageFormat::png, ImageFormat::bmp, ImageFormat::tiff, ImageFormat::unknown};

QString rawValue(ImageFormat format);
std::optional<ImageFormat> imageFormatFromRawValue(QStringView raw);
QString mimeType(ImageFormat format);
QString fileExtension(ImageFormat format);

// The role of a picture. The order is that of pickers, not of the codes.
enum class ArtworkType {
    other,
    frontCover,
    backCover,
    leafletPage,
    media,
    artist,
    conductor,
    recordingLocation,
    fileIcon,
    otherFileIcon,
    leadArtist,
    band,
    composer,
    lyricist,
    duringRecording,
    duringPerformance,
    videoCapture,
    brightColouredFish,
    illustration,
    bandLogo,
    publisherLogo,
};

inline constexpr std::array<ArtworkType, 21> allArtworkTypes = {
    ArtworkType::other,           ArtworkType::frontCover,
    ArtworkType::backCover,       ArtworkType::leafletPage,
    ArtworkType::media,           ArtworkType::artist,
    ArtworkType::conductor,       ArtworkType::recordingLocation,
    ArtworkType::fileIcon,        ArtworkType::otherFileIcon,
    ArtworkType::leadArtist,      ArtworkType::band,
    ArtworkType::composer,        ArtworkType::lyricist,
    ArtworkType::duringRecording, ArtworkType::duringPerformance,
    ArtworkType::videoCapture,    ArtworkType::brightColouredFish,
    ArtworkType::illustration,    ArtworkType::bandLogo,
    ArtworkType::publisherLogo};

QString rawValue(ArtworkType type);
std::optional<ArtworkType> artworkTypeFromRawValue(QStringView raw);
QString displayName(ArtworkType type);
// The ID3v2 attached-picture type code, which FLAC and Vorbis pictures share.
int id3v2PictureType(ArtworkType type);
// The case with that code; `other` for codes that name none (negative, above 20).
ArtworkType artworkTypeFromId3v2PictureType(qint64 code);

// One picture embedded in an audio file.
//
// A picture read from a file is described, not held: its bytes stay on disk and
// are read again when something needs them (PictureStore), so that a library of
// thousands of covers does not live in memory. Pictures the user brings in
// (imported, pasted, optimised) hold their bytes until they are saved.
struct Artwork {
    QUuid id{};          // a new random id whenever a picture record is made
    QByteArray data{};   // the encoded picture exactly as stored in the file; empty while on disk
    QByteArray digest{}; // digestOf the bytes, held or not
    ImageFormat format = ImageFormat::unknown;
    qint64 width = 0; // 0 when unknown
    qint64 height = 0;
    qint64 sizeBytes = 0; // byte count of `data` when the record was made
    ArtworkType type = ArtworkType::other;
    std::optional<QString> description{};

    bool operator==(const Artwork& other) const;

    // Whether the bytes are in `data` (always so for an empty picture).
    bool holdsBytes() const { return !data.isEmpty() || sizeBytes == 0; }
    // A new picture record holding `bytes`, with their digest and size; its
    // pixel size is left unknown.
    static Artwork holding(QByteArray bytes, ImageFormat format = ImageFormat::unknown,
                           ArtworkType type = ArtworkType::other,
                           std::optional<QString> description = std::nullopt);

    // A 128-bit digest of picture bytes (XXH3): equal bytes, equal digests, and
    // different pictures practically never share one. Fast enough to take of
    // every picture a library holds.
    static QByteArray digestOf(QByteArrayView bytes);

    // Whether two records hold the same picture: equal bytes (by digest),
    // format, type and description. Identity and the recorded measurements do
    // not count.
    static bool isSamePicture(const Artwork& a, const Artwork& b);
    // Whether two lists hold the same pictures in the same order.
    static bool areSamePictures(const QList<Artwork>& a, const QList<Artwork>& b);

    QString formattedSize() const;       // 245 KB, 1.2 MB
    QString formattedDimensions() const; // 600×600

    // Pixel size read from the picture's header without decoding pixels;
    // none when the bytes are not a picture.
    static std::optional<std::pair<qint64, qint64>> dimensions(const QByteArray& data);

    QJsonObject toJson() const;
    static Decoded<Artwork> fromJson(const QJsonValue& json);
};

// A byte count in kilobytes or megabytes with decimal units (1 KB = 1000 bytes).
QString formatByteCount(qint64 bytes);
