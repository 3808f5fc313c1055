// What the fuzz targets of the helper protocol share.
#pragma once

#include "QuireCore/TagWorkerProtocol.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ProtocolFuzzing {

inline void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

// The payload of an encoded frame, after checking its header.
inline std::string_view payloadOf(const std::string& frame) {
    using namespace TagWorkerProtocol;
    require(frame.size() >= frameHeaderSize, "frame shorter than its header");
    const auto size = decodeFrameHeader(std::string_view(frame).substr(0, frameHeaderSize));
    require(size.ok() && size.value() == frame.size() - frameHeaderSize,
            "frame header disagrees with the frame");
    return std::string_view(frame).substr(frameHeaderSize);
}

} // namespace ProtocolFuzzing
