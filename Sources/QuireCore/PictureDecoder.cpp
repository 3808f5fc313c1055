#include "QuireCore/PictureDecoder.h"

#include "Platform/ImageServices.h"
#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerPool.h"
#include "QuireCore/TagWorkerProtocol.h"

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <bit>
#include <mutex>
#include <sys/stat.h>

namespace {

bool isReadableImageFile(const std::string& path) {
    struct stat status {};
    return !path.empty() && path.find('\0') == std::string::npos && stat(path.c_str(), &status) == 0 &&
           S_ISREG(status.st_mode);
}

std::optional<QImage> decoded(const EncodePictureRequest& request) {
    if (const auto* bytes = std::get_if<QByteArray>(&request.source))
        return Platform::decodeImage(*bytes);
    const std::string& path = std::get<std::string>(request.source);
    // A named pipe or a device would block or never end.
    if (!isReadableImageFile(path))
        return std::nullopt;
    return Platform::decodeImageFile(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
}

} // namespace

bool EncodePictureRequest::operator==(const EncodePictureRequest& other) const {
    // Qualities compare by their bits, so that a request equals its own copy even with NaN.
    return source == other.source && maxDimension == other.maxDimension &&
           std::bit_cast<uint64_t>(quality) == std::bit_cast<uint64_t>(other.quality) &&
           tiffFallback == other.tiffFallback;
}

std::optional<QImage> InProcessPictureDecoder::fitImage(const FitImageRequest& request) const {
    std::optional<QImage> image =
        Platform::decodeImageToFit(request.data, std::min(request.maxWidth, maxFittedImageEdge),
                                   std::min(request.maxHeight, maxFittedImageEdge));
    if (image)
        image = image->convertToFormat(QImage::Format_ARGB32);
    if (!image || image->isNull())
        return std::nullopt;
    return image;
}

std::optional<EncodedPicture>
InProcessPictureDecoder::encodePicture(const EncodePictureRequest& request) const {
    std::optional<QImage> image = decoded(request);
    if (image && request.maxDimension)
        image = PictureWork::resized(*image, *request.maxDimension);
    if (!image)
        return std::nullopt;
    return PictureWork::encoded(*image, request.quality, request.tiffFallback);
}

IsolatedPictureDecoder::IsolatedPictureDecoder(IsolatedTagLibAccess& helpers)
    : m_helpers(helpers) {}

std::optional<QImage> IsolatedPictureDecoder::fitImage(const FitImageRequest& request) const {
    if (request.maxWidth <= 0 || request.maxHeight <= 0)
        return std::nullopt;
    FitImageRequest bounded = request;
    bounded.maxWidth = std::min(bounded.maxWidth, maxFittedImageEdge);
    bounded.maxHeight = std::min(bounded.maxHeight, maxFittedImageEdge);
    std::optional<QImage> image;
    const std::optional<WorkerFailure> failure = m_helpers.workerPool().exchange(
        TagWorkerProtocol::encodeFitImageRequest(bounded), std::chrono::milliseconds(m_limit),
        [&image](std::string_view payload) {
            auto reply = TagWorkerProtocol::decodeImageReply(payload);
            if (reply)
                image = std::move(reply).value();
            return reply.ok();
        });
    if (failure) {
        qWarning("Picture helper %s decoding %lld bytes", failureName(*failure),
                 static_cast<long long>(request.data.size()));
        return std::nullopt;
    }
    return image;
}

std::optional<EncodedPicture>
IsolatedPictureDecoder::encodePicture(const EncodePictureRequest& request) const {
    if (const auto* path = std::get_if<std::string>(&request.source);
        path && (path->empty() || path->find('\0') != std::string::npos))
        return std::nullopt;
    std::optional<EncodedPicture> picture;
    const std::optional<WorkerFailure> failure = m_helpers.workerPool().exchange(
        TagWorkerProtocol::encodePictureEncodingRequest(request), std::chrono::milliseconds(m_limit),
        [&picture](std::string_view payload) {
            auto reply = TagWorkerProtocol::decodeEncodedPictureReply(payload);
            if (reply)
                picture = std::move(reply).value();
            return reply.ok();
        });
    if (failure) {
        qWarning("Picture helper %s encoding a picture", failureName(*failure));
        return std::nullopt;
    }
    return picture;
}

void IsolatedPictureDecoder::setTimeLimit(std::chrono::milliseconds limit) {
    m_limit = limit.count();
}

IsolatedPictureDecoder& defaultIsolatedPictureDecoder() {
    // Never destroyed, like the helpers it uses.
    static IsolatedPictureDecoder* const decoder = [] {
        auto* created = new IsolatedPictureDecoder(defaultIsolatedTagLibAccess());
        bool isNumber = false;
        const int limit = qEnvironmentVariableIntValue("CADENZA_TAG_HELPER_TIMEOUT_MS", &isNumber);
        if (isNumber && limit > 0)
            created->setTimeLimit(std::chrono::milliseconds(limit));
        return created;
    }();
    return *decoder;
}

const PictureDecoder& defaultPictureDecoder() {
    if (TagWorker::entryInstalled())
        return defaultIsolatedPictureDecoder();
    static const InProcessPictureDecoder inProcess;
    static std::once_flag warned;
    std::call_once(warned, [] {
        qWarning(
            "runTagWorkerIfRequested() was not called from main(): pictures are decoded in this process");
    });
    return inProcess;
}

namespace PictureWork {

QSize fittedSize(QSize size, int maxDimension) {
    const int width = size.width(), height = size.height();
    if ((width <= maxDimension && height <= maxDimension) || width <= 0 || height <= 0)
        return size;
    const double factor =
        std::min(static_cast<double>(maxDimension) / width, static_cast<double>(maxDimension) / height);
    // A very thin picture would truncate to an empty edge, and an empty image cannot be encoded.
    return {std::max(1, static_cast<int>(width * factor)), std::max(1, static_cast<int>(height * factor))};
}

std::optional<QImage> resized(const QImage& image, int maxDimension) {
    const QSize target = fittedSize(image.size(), maxDimension);
    if (target == image.size())
        return image;
    return Platform::scaled(image, target.width(), target.height());
}

std::optional<EncodedPicture> encoded(const QImage& image, double quality, bool tiffFallback) {
    EncodedPicture encoded;
    if (std::optional<QByteArray> jpeg = Platform::encodeJpeg(image, quality)) {
        encoded.data = std::move(*jpeg);
        encoded.format = ImageFormat::jpeg;
    } else if (std::optional<QByteArray> tiff = tiffFallback ? Platform::encodeTiff(image) : std::nullopt) {
        encoded.data = std::move(*tiff);
        encoded.format = ImageFormat::tiff;
    } else {
        return std::nullopt;
    }
    const auto size = Artwork::dimensions(encoded.data);
    encoded.width = size ? size->first : image.width();
    encoded.height = size ? size->second : image.height();
    return encoded;
}

} // namespace PictureWork
