#include "Platform/ImageServices.h"
#include "Support/TestSupport.h"

#include <QColor>
#include <gtest/gtest.h>
#include <limits>

using namespace Platform;
using TestSupport::encodedImage;

namespace {

constexpr const char* kFormats[] = {"JPEG", "PNG", "BMP", "TIFF", "GIF"};

QImage filled(int width, int height, QColor colour, QImage::Format format = QImage::Format_ARGB32) {
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

TEST(ImageServicesMeasure, ReadsOnlyTheHeaderOfEveryCommonFormat) {
    for (const char* format : kFormats)
        EXPECT_EQ(pixelSize(encodedImage(37, 23, format)), (PixelSize{37, 23})) << format;
    // A PNG cut right after the name of its first data chunk: measurable, yet without a single pixel.
    const QByteArray png = encodedImage(640, 480, "PNG");
    const QByteArray headerOnly = png.left(png.indexOf("IDAT") + 4);
    EXPECT_EQ(pixelSize(headerOnly), (PixelSize{640, 480}));
    EXPECT_FALSE(decodeImage(headerOnly));

    EXPECT_FALSE(pixelSize({}));
    EXPECT_FALSE(pixelSize("ID3\x04 not a picture at all"));
    EXPECT_FALSE(pixelSize(png.left(12)));
}

TEST(ImageServicesDecode, DecodesEveryCommonFormatFromBytesAndFilesByContent) {
    TestSupport::ScratchFolder scratch;
    for (const char* format : kFormats) {
        const QByteArray bytes = encodedImage(30, 20, format);
        EXPECT_EQ(decodeImage(bytes).value_or(QImage()).size(), QSize(30, 20)) << format;
        EXPECT_EQ(decodeImageToFit(bytes, 15, 15).value_or(QImage()).size(), QSize(15, 10)) << format;
        EXPECT_EQ(decodeImageToFit(bytes, 100, 100).value_or(QImage()).size(), QSize(30, 20)) << format;
        const QString misnamed = scratch.write(QString("picture-%1.jpg").arg(format), bytes);
        EXPECT_EQ(decodeImageFile(QUrl::fromLocalFile(misnamed)).value_or(QImage()).size(), QSize(30, 20))
            << format;
    }
    EXPECT_FALSE(decodeImage("\xFF\xD8\xFF garbage after a JPEG marker"));
    EXPECT_FALSE(decodeImageToFit(encodedImage(30, 20, "PNG"), 0, 10));
    EXPECT_FALSE(decodeImageFile(QUrl::fromLocalFile(scratch.write("empty.png"))));
    EXPECT_FALSE(decodeImageFile(QUrl::fromLocalFile(scratch.filePath("missing.png"))));
}

TEST(ImageServicesScale, GivesExactlyTheRequestedSizeAndReplacesAlphaInsteadOfBlending) {
    for (const QSize size : {QSize(100, 100), QSize(600, 50), QSize(1, 1), QSize(301, 199)})
        EXPECT_EQ(scaled(TestSupport::patternImage(300, 200), size.width(), size.height())
                      .value_or(QImage())
                      .size(),
                  size);
    EXPECT_FALSE(scaled(TestSupport::patternImage(30, 20), 0, 10));
    EXPECT_FALSE(scaled(QImage(), 10, 10));

    const auto clear = scaled(filled(40, 40, Qt::transparent), 10, 10);
    const auto half = scaled(filled(40, 40, QColor(255, 0, 0, 128)), 10, 10);
    ASSERT_TRUE(clear && half);
    EXPECT_EQ(qAlpha(clear->pixel(5, 5)), 0);
    const QColor halfRed = half->pixelColor(5, 5);
    EXPECT_NEAR(halfRed.alpha(), 128, 1);
    EXPECT_NEAR(halfRed.red(), 255, 2);
    EXPECT_EQ(halfRed.green(), 0);
}

TEST(ImageServicesEncode, JpegQualityIsClampedRoundedAndChangesTheSize) {
    QImage noise(64, 64, QImage::Format_RGB32); // detail that compresses badly
    for (int i = 0; i < 64 * 64; ++i)
        noise.setPixel(i % 64, i / 64, (i * 2654435761u) >> 8);
    const auto low = encodeJpeg(noise, 0.1), high = encodeJpeg(noise, 0.9);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size() / 2);
    EXPECT_EQ(encodeJpeg(noise, 7.0), encodeJpeg(noise, 1.0));
    EXPECT_EQ(encodeJpeg(noise, -3.0), encodeJpeg(noise, 0.0));
    EXPECT_EQ(encodeJpeg(noise, 0.504), encodeJpeg(noise, 0.5));
    EXPECT_FALSE(encodeJpeg(noise, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(encodeJpeg(QImage(), 0.9));
}

TEST(ImageServicesEncode, JpegDecodesBackWithTransparencyOnWhite) {
    const auto pattern = decodeImage(encodeJpeg(TestSupport::patternImage(48, 32), 0.9).value_or(""));
    ASSERT_TRUE(pattern);
    EXPECT_EQ(pattern->size(), QSize(48, 32));
    EXPECT_GT(pattern->pixelColor(4, 4).red(), 230);
    EXPECT_LT(pattern->pixelColor(4, 4).blue(), 30);
    const auto clear = decodeImage(encodeJpeg(filled(16, 16, Qt::transparent), 0.9).value_or(""));
    ASSERT_TRUE(clear);
    EXPECT_GT(qGray(clear->pixel(8, 8)), 245) << "transparent areas become white, not black";
}

TEST(ImageServicesEncode, TiffRoundTripsPixelsAndAlphaLosslessly) {
    QImage source = TestSupport::patternImage(20, 10).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    source.setPixelColor(0, 0, QColor(10, 20, 30, 40));
    const auto decoded = decodeImage(encodeTiff(source).value_or(""));
    ASSERT_TRUE(decoded) << "is the TIFF image plug-in installed?";
    // Stored with associated alpha: exact when compared premultiplied.
    EXPECT_EQ(decoded->convertToFormat(QImage::Format_ARGB32_Premultiplied), source);
    EXPECT_FALSE(encodeTiff(QImage()));
}

} // namespace
