#include "QuireCore/Artwork.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ArtworkTypes, CodesMapBothWaysAndUnknownCodesAreOther) {
    QSet<int> codes;
    for (ArtworkType type : allArtworkTypes) {
        codes.insert(id3v2PictureType(type));
        EXPECT_EQ(artworkTypeFromId3v2PictureType(id3v2PictureType(type)), type);
        EXPECT_EQ(artworkTypeFromRawValue(rawValue(type)), type);
    }
    EXPECT_EQ(codes.size(), 21); // every code 0-20 exactly once
    EXPECT_EQ(artworkTypeFromId3v2PictureType(3), ArtworkType::frontCover);
    EXPECT_EQ(artworkTypeFromId3v2PictureType(7), ArtworkType::leadArtist);
    EXPECT_EQ(artworkTypeFromId3v2PictureType(21), ArtworkType::other);
    EXPECT_EQ(artworkTypeFromId3v2PictureType(-1), ArtworkType::other);
    EXPECT_EQ(displayName(ArtworkType::leafletPage), QStringLiteral("Leaflet"));
    EXPECT_EQ(allArtworkTypes[8], ArtworkType::fileIcon); // picker order, not code order
}

TEST(ArtworkTypes, ImageFormatsNameTheirMimeTypesAndExtensions) {
    EXPECT_EQ(mimeType(ImageFormat::jpeg), QStringLiteral("image/jpeg"));
    EXPECT_EQ(mimeType(ImageFormat::tiff), QStringLiteral("image/tiff"));
    EXPECT_EQ(mimeType(ImageFormat::unknown), QStringLiteral("application/octet-stream"));
    EXPECT_EQ(fileExtension(ImageFormat::jpeg), QStringLiteral("jpg"));
    EXPECT_EQ(fileExtension(ImageFormat::unknown), QStringLiteral("bin"));
    EXPECT_EQ(imageFormatFromRawValue(u"gif"), std::nullopt);
}

TEST(ArtworkPictures, DimensionsComeFromRealHeadersAndGarbageHasNone) {
    for (const char* format : {"JPEG", "PNG", "BMP", "TIFF", "GIF"}) {
        const auto size = Artwork::dimensions(TestSupport::encodedImage(37, 21, format));
        ASSERT_TRUE(size.has_value()) << format;
        EXPECT_EQ(*size, (std::pair<qint64, qint64>{37, 21})) << format;
    }
    EXPECT_FALSE(Artwork::dimensions(QByteArray("definitely not a picture")));
    EXPECT_FALSE(Artwork::dimensions(QByteArray()));
}

TEST(ArtworkPictures, TextsForTheCaption) {
    Artwork artwork;
    EXPECT_EQ(artwork.formattedDimensions(), QStringLiteral("0×0"));
    artwork.width = 600;
    artwork.height = 400;
    EXPECT_EQ(artwork.formattedDimensions(), QStringLiteral("600×400"));
    EXPECT_EQ(formatByteCount(245'000), QStringLiteral("245 KB"));
    EXPECT_EQ(formatByteCount(1'000), QStringLiteral("1 KB"));
    EXPECT_EQ(formatByteCount(1'250'000), QStringLiteral("1.3 MB"));
    EXPECT_EQ(formatByteCount(999'999), QStringLiteral("1.0 MB"));
}

TEST(ArtworkJson, RoundTripDescriptionOptionalOthersRequired) {
    Artwork artwork = Artwork::holding(QByteArray("\x00\xFF\x10 bytes", 9), ImageFormat::png,
                                       ArtworkType::bandLogo, QString());
    artwork.width = 1;
    artwork.height = 2;
    const Decoded<Artwork> decoded = decodeJson<Artwork>(encodeJson(artwork));
    ASSERT_TRUE(decoded.ok()) << decoded.error().message.toStdString();
    EXPECT_EQ(decoded.value(), artwork);
    EXPECT_EQ(decoded.value().description, QString()); // empty stays present

    QJsonObject json = artwork.toJson();
    json.remove(QStringLiteral("description"));
    EXPECT_EQ(Artwork::fromJson(json).value().description, std::nullopt);
    json.remove(QStringLiteral("sizeBytes"));
    EXPECT_FALSE(Artwork::fromJson(json).ok());

    QJsonObject badData = artwork.toJson();
    badData.insert(QStringLiteral("data"), QStringLiteral("***"));
    EXPECT_FALSE(Artwork::fromJson(badData).ok());
    QJsonObject badId = artwork.toJson();
    badId.insert(QStringLiteral("id"), QStringLiteral("not-a-uuid"));
    EXPECT_FALSE(Artwork::fromJson(badId).ok());

    // A picture left on disk travels as its description; the bytes, where
    // present, decide the digest whatever the record claims.
    Artwork described = artwork;
    described.data.clear();
    ASSERT_FALSE(described.holdsBytes());
    EXPECT_FALSE(described.toJson().contains(QStringLiteral("data")));
    EXPECT_EQ(Artwork::fromJson(described.toJson()).value(), described);
    QJsonObject noDigest = described.toJson();
    noDigest.remove(QStringLiteral("digest"));
    EXPECT_FALSE(Artwork::fromJson(noDigest).ok());
    QJsonObject wrongDigest = artwork.toJson();
    wrongDigest.insert(QStringLiteral("digest"), QString::fromLatin1(QByteArray(16, 'x').toHex()));
    EXPECT_EQ(Artwork::fromJson(wrongDigest).value().digest, artwork.digest);
}

TEST(ArtworkPictures, DigestsTellPicturesApartWhetherOrNotTheyHoldTheirBytes) {
    const Artwork a = Artwork::holding(QByteArray(300'000, 'a'), ImageFormat::jpeg);
    Artwork changedLastByte = a;
    changedLastByte.data[changedLastByte.data.size() - 1] = 'b';
    changedLastByte.digest = Artwork::digestOf(changedLastByte.data);
    EXPECT_NE(a.digest, changedLastByte.digest);
    EXPECT_EQ(a.digest.size(), 16);
    EXPECT_FALSE(Artwork::isSamePicture(a, changedLastByte));

    Artwork onDisk = a;
    onDisk.id = QUuid::createUuid();
    onDisk.data.clear();
    EXPECT_TRUE(Artwork::isSamePicture(a, onDisk));
    EXPECT_TRUE(Artwork::holding(QByteArray()).holdsBytes()); // nothing to read
}

} // namespace
