#pragma once

#include <QByteArray>
#include <QImage>
#include <QUrl>
#include <QtGlobal>
#include <optional>

// Measuring, decoding, scaling and encoding pictures through Qt's image plug-ins.
// Every operation is a pure function of its arguments: no state, no caching, failures as absent results.
namespace Platform {

struct PixelSize {
    qint64 width = 0;
    qint64 height = 0;
    bool operator==(const PixelSize&) const = default;
};

// Width and height of the first picture in the bytes, read from its header without decoding pixels
// (cheap enough to run on every embedded picture at import); absent when the bytes are no known picture
// format or the header gives no positive size.
std::optional<PixelSize> pixelSize(const QByteArray& bytes);

// The first picture in the bytes, turned upright by its orientation tag; absent when not decodable.
std::optional<QImage> decodeImage(const QByteArray& bytes);

// The first picture in the bytes, turned upright and shrunk to fit maxWidth × maxHeight with its aspect ratio
// kept, never enlarged; absent when not decodable or a bound is not positive. Large JPEGs are scaled while
// decoding, which is several times faster than decoding the full size first.
std::optional<QImage> decodeImageToFit(const QByteArray& bytes, int maxWidth, int maxHeight);

// The picture stored in a local file, found by content rather than by extension; absent when the location is
// not a local file or the file is not a decodable picture.
std::optional<QImage> decodeImageFile(const QUrl& location);

// A new image of exactly width × height with the whole source drawn over it at full opacity; the source's
// pixels, alpha included, replace the destination instead of blending over a background. Absent when the
// source is null, a size is not positive, or the memory cannot be had.
std::optional<QImage> scaled(const QImage& image, int width, int height);

// The image as JPEG at a compression quality from 0 (smallest) to 1 (best), clamped to that range;
// transparent areas are flattened onto white since JPEG has no alpha. Absent when the image is null, the
// quality is NaN or encoding fails.
std::optional<QByteArray> encodeJpeg(const QImage& image, double quality);

// The image as a lossless (LZW-compressed) TIFF, keeping alpha; absent when encoding fails.
std::optional<QByteArray> encodeTiff(const QImage& image);

} // namespace Platform
