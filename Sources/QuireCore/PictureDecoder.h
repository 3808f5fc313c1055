// Decoding pictures from untrusted bytes: for display, and to re-encode them
// smaller or as a new cover. Image libraries are as exposed to crafted input
// as tag parsers, so by default this work runs in the tag helpers too.
#pragma once

#include "QuireCore/Artwork.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

class IsolatedTagLibAccess;

// The largest edge of an image that fitImage gives: 8192 × 8192 pixels take
// 256 MiB. Larger bounds count as this.
inline constexpr int32_t maxFittedImageEdge = 8192;

// Decode the picture and shrink it to fit maxWidth × maxHeight (never
// enlarged, aspect ratio kept, turned upright by its orientation tag).
struct FitImageRequest {
    QByteArray data;
    int32_t maxWidth = 0;
    int32_t maxHeight = 0;
    bool operator==(const FitImageRequest&) const = default;
};

// Decode the picture, shrink it to fit a square of maxDimension when given
// (PictureWork::fittedSize) and encode it as JPEG at `quality` (0 to 1); when
// JPEG encoding fails and tiffFallback is set, as lossless TIFF instead.
struct EncodePictureRequest {
    // The picture's bytes, or the path of an image file (file-system bytes,
    // recognised by content).
    std::variant<QByteArray, std::string> source;
    std::optional<int32_t> maxDimension;
    double quality = 0.9;
    bool tiffFallback = false;
    bool operator==(const EncodePictureRequest& other) const;
};

struct EncodedPicture {
    QByteArray data;
    ImageFormat format = ImageFormat::unknown; // jpeg or tiff
    qint64 width = 0;                          // read back from `data`
    qint64 height = 0;
    bool operator==(const EncodedPicture&) const = default;
};

// Implementations are safe to call from several threads at once. Every
// failure (undecodable bytes, a decoder that crashed or hung) is an absent
// result.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // The image in QImage::Format_ARGB32.
    virtual std::optional<QImage> fitImage(const FitImageRequest& request) const = 0;
    virtual std::optional<EncodedPicture> encodePicture(const EncodePictureRequest& request) const = 0;
};

// Qt's image plug-ins in this process: what the helpers run.
class InProcessPictureDecoder final : public PictureDecoder {
public:
    std::optional<QImage> fitImage(const FitImageRequest& request) const override;
    std::optional<EncodedPicture> encodePicture(const EncodePictureRequest& request) const override;
};

// Every call in one of the helpers of an IsolatedTagLibAccess, under their
// memory limit and this decoder's time limit; a helper that fails is killed.
class IsolatedPictureDecoder final : public PictureDecoder {
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{30000};

    // The helpers must outlive this decoder.
    explicit IsolatedPictureDecoder(IsolatedTagLibAccess& helpers);

    std::optional<QImage> fitImage(const FitImageRequest& request) const override;
    std::optional<EncodedPicture> encodePicture(const EncodePictureRequest& request) const override;

    // Applies to calls that start afterwards.
    void setTimeLimit(std::chrono::milliseconds limit);

private:
    IsolatedTagLibAccess& m_helpers;
    std::atomic<std::chrono::milliseconds::rep> m_limit{defaultTimeLimit.count()};
};

// The process-wide decoder, over the helpers of defaultIsolatedTagLibAccess()
// and with their time limit when CADENZA_TAG_HELPER_TIMEOUT_MS is set. When
// main() never called runTagWorkerIfRequested, pictures are decoded in process.
const PictureDecoder& defaultPictureDecoder();
IsolatedPictureDecoder& defaultIsolatedPictureDecoder();

// The image work both decoders share, on images already decoded.
namespace PictureWork {

// The edges that fit a square of maxDimension: unchanged when both edges fit
// (no upscaling), else both edges scaled by min(M / w, M / h) in double
// precision and truncated, so that 999 × 3001 at 1000 gives 332 × 999. An
// edge never drops below one pixel.
QSize fittedSize(QSize size, int maxDimension);

// The image shrunk to fittedSize, or the image itself when it fits; absent when scaling fails.
std::optional<QImage> resized(const QImage& image, int maxDimension);

// JPEG at `quality`, else (with tiffFallback) lossless TIFF; the size read
// back from the new bytes, the image's own when that fails.
std::optional<EncodedPicture> encoded(const QImage& image, double quality, bool tiffFallback);

} // namespace PictureWork
