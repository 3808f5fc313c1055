// The picture messages of the tag helpers on arbitrary bytes. Input: one byte
// choosing the decoder (request, image reply, encoded picture reply), then the
// payload. Whatever decodes must encode to a frame whose payload decodes to an
// equal value, and replies have exactly one encoding.
#include "ProtocolFuzzing.h"
#include "QuireCore/TagWorkerProtocol.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace TagWorkerProtocol;
using ProtocolFuzzing::payloadOf;
using ProtocolFuzzing::require;

namespace {

template <typename T> void checkRequest(const T& request, std::string (*encode)(const T&)) {
    const std::string frame = encode(request);
    const auto again = decodeRequest(payloadOf(frame));
    require(again.ok() && std::get<T>(again.value()) == request,
            "a picture request does not survive encoding");
    require(encode(std::get<T>(again.value())) == frame, "picture request encoding is not stable");
}

void checkRequest(std::string_view payload) {
    const auto decoded = decodeRequest(payload);
    if (!decoded.ok()) {
        require(!decoded.error().reason.empty(), "an error without a reason");
        return;
    }
    if (const auto* fit = std::get_if<FitImageRequest>(&decoded.value())) {
        require(fit->maxWidth >= 1 && fit->maxWidth <= maxImageEdge && fit->maxHeight >= 1 &&
                    fit->maxHeight <= maxImageEdge,
                "fit bounds out of range");
        checkRequest(*fit, encodeFitImageRequest);
    } else if (const auto* encode = std::get_if<EncodePictureRequest>(&decoded.value())) {
        checkRequest(*encode, encodePictureEncodingRequest);
    }
}

void checkImageReply(std::string_view payload) {
    const auto decoded = decodeImageReply(payload);
    if (!decoded.ok())
        return;
    if (const std::optional<QImage>& image = decoded.value()) {
        require(image->width() >= 1 && image->width() <= maxImageEdge && image->height() >= 1 &&
                    image->height() <= maxImageEdge && image->format() == QImage::Format_ARGB32,
                "an image out of range");
    }
    require(payloadOf(encodeImageReply(decoded.value())) == payload,
            "an image reply has more than one encoding");
}

void checkEncodedPictureReply(std::string_view payload) {
    const auto decoded = decodeEncodedPictureReply(payload);
    if (!decoded.ok())
        return;
    if (const std::optional<EncodedPicture>& picture = decoded.value())
        require(!picture->data.isEmpty() && picture->width > 0 && picture->height > 0,
                "a picture out of range");
    require(payloadOf(encodeEncodedPictureReply(decoded.value())) == payload,
            "an encoded picture reply has more than one encoding");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view payload(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        checkRequest(payload);
        break;
    case 1:
        checkImageReply(payload);
        break;
    case 2:
        checkEncodedPictureReply(payload);
        break;
    }
    return 0;
}
