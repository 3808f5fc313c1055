// The tag helpers' message decoding on arbitrary bytes. Input: one byte
// choosing the decoder (frame header, request, read reply, write reply), then
// the payload. Whatever decodes must encode to a frame whose payload decodes
// to an equal value, and that frame must be a fixed point.
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

std::string encodeRequest(const Request& request) {
    if (const auto* read = std::get_if<ReadRequest>(&request))
        return encodeReadRequest(*read);
    if (const auto* fit = std::get_if<FitImageRequest>(&request))
        return encodeFitImageRequest(*fit);
    if (const auto* encode = std::get_if<EncodePictureRequest>(&request))
        return encodePictureEncodingRequest(*encode);
    return encodeWriteRequest(std::get<BridgeWriteRequest>(request));
}

bool sameReply(const BridgeReadResult& a, const BridgeReadResult& b) {
    if (a.ok() != b.ok())
        return false;
    return a.ok() ? a.value() == b.value() : a.error() == b.error();
}

void checkRequest(std::string_view payload) {
    const auto decoded = decodeRequest(payload);
    if (!decoded.ok()) {
        require(!decoded.error().reason.empty(), "an error without a reason");
        return;
    }
    const std::string frame = encodeRequest(decoded.value());
    const auto again = decodeRequest(payloadOf(frame));
    require(again.ok() && again.value() == decoded.value(), "a request does not survive encoding");
    require(encodeRequest(again.value()) == frame, "request encoding is not stable");
}

void checkReadReply(std::string_view payload) {
    ReceivedPictures received;
    const auto decoded = decodeReadReply(payload, received);
    if (!decoded.ok()) {
        require(!decoded.error().reason.empty(), "an error without a reason");
        return;
    }
    const std::string frame = encodeReadReply(decoded.value());
    ReceivedPictures fresh;
    const auto again = decodeReadReply(payloadOf(frame), fresh);
    require(again.ok() && sameReply(again.value(), decoded.value()),
            "a read reply does not survive encoding");
    require(encodeReadReply(again.value()) == frame, "read reply encoding is not stable");
}

void checkWriteReply(std::string_view payload) {
    const auto decoded = decodeWriteReply(payload);
    if (!decoded.ok())
        return;
    const std::string frame = encodeWriteReply(decoded.value());
    require(frame.substr(frameHeaderSize) == payload, "a write reply has more than one encoding");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view payload(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        const auto header = decodeFrameHeader(payload);
        if (header.ok())
            require(header.value() >= 2 && header.value() <= maxPayloadSize, "payload size out of range");
        break;
    }
    case 1:
        checkRequest(payload);
        break;
    case 2:
        checkReadReply(payload);
        break;
    case 3:
        checkWriteReply(payload);
        break;
    }
    return 0;
}
