// The model's JSON decoding on arbitrary text, decoded as each record type.
// Whatever decodes must encode to text that decodes to an equal value, and
// that text must be a fixed point of decoding and encoding.
#include "QuireCore/AudioFile.h"
#include "QuireCore/InspectorLayout.h"
#include "QuireCore/JsonDecoding.h"
#include "QuireCore/TagSet.h"
#include "QuireCore/UndoManager.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* type, const char* what, const QByteArray& text = {}) {
    if (!condition) {
        std::fprintf(stderr, "property violated for %s: %s\n%s\n", type, what, text.constData());
        std::abort();
    }
}

template <typename T> void roundTrip(const QByteArray& input, const char* type) {
    const Decoded<T> decoded = decodeJson<T>(input);
    if (!decoded.ok()) {
        require(!decoded.error().message.isEmpty(), type, "an error without a message");
        return;
    }
    const QByteArray encoded = encodeJson(decoded.value());
    const Decoded<T> again = decodeJson<T>(encoded);
    require(again.ok(), type, "its own encoding does not decode", encoded);
    require(again.value() == decoded.value(), type, "the decoded encoding is a different value", encoded);
    require(encodeJson(again.value()) == encoded, type, "encoding is not stable", encoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    roundTrip<AudioFile>(input, "AudioFile");
    roundTrip<TagSet>(input, "TagSet");
    roundTrip<InspectorLayout>(input, "InspectorLayout");
    roundTrip<FileSnapshot>(input, "FileSnapshot");
    return 0;
}
