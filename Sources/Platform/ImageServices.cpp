#include "Platform/ImageServices.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace Platform {

namespace {

std::optional<QImage> read(QImageReader& reader) {
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QByteArray> write(const QImage& image, const char* format, int quality, int compression) {
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setCompression(compression);
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

// JPEG writers drop the alpha channel and keep whatever colour hides under transparent pixels (often black);
// composing onto white first gives what the picture looked like on a page.
QImage flattenedOntoWhite(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return flat;
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

} // namespace

std::optional<PixelSize> pixelSize(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size(); // header only; invalid when no plug-in recognises the bytes
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    return PixelSize{size.width(), size.height()};
}

std::optional<QImage> decodeImage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return read(reader);
}

std::optional<QImage> decodeImageToFit(const QByteArray& bytes, int maxWidth, int maxHeight) {
    const QSize bounds(maxWidth, maxHeight);
    if (maxWidth <= 0 || maxHeight <= 0)
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > bounds.width() || full.height() > bounds.height()))
        reader.setScaledSize(full.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    // Readers that cannot scale while decoding give the full size; rotation may swap the edges.
    if (image.width() > bounds.width() || image.height() > bounds.height())
        image = image.scaled(bounds, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QImage> decodeImageFile(const QUrl& location) {
    if (!location.isLocalFile())
        return std::nullopt;
    QImageReader reader(location.toLocalFile());
    reader.setDecideFormatFromContent(true);
    return read(reader);
}

std::optional<QImage> scaled(const QImage& image, int width, int height) {
    if (image.isNull() || width <= 0 || height <= 0)
        return std::nullopt;
    // scaled() writes every destination pixel from the source (alpha included), so nothing shows through.
    QImage result = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (result.isNull() || result.size() != QSize(width, height))
        return std::nullopt;
    return result;
}

std::optional<QByteArray> encodeJpeg(const QImage& image, double quality) {
    if (std::isnan(quality))
        return std::nullopt;
    const int qtQuality = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0));
    return write(flattenedOntoWhite(image), "jpeg", qtQuality, -1);
}

std::optional<QByteArray> encodeTiff(const QImage& image) {
    constexpr int lzw = 1; // the TIFF plug-in's compression codes: 0 none, 1 LZW
    return write(image, "tiff", -1, lzw);
}

} // namespace Platform
