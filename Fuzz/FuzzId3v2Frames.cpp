// The bridge's own reading of stored ID3v2 tags, which a save uses to keep
// every frame it does not change. Input: any bytes, taken as a tag. Frames
// must lie within it, and once put back into a tag of their own they must
// read back as the same frames (where every frame ID is a proper one: readers
// guess broken ID3v2.4 sizes by looking for the next frame's ID).
#include "BridgeInternal.h"

#include <tbytevector.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TagLib::ByteVector bytes(reinterpret_cast<const char*>(data), static_cast<unsigned int>(size));
    const std::optional<ctaglib::StoredId3v2Tag> tag = ctaglib::parseStoredId3v2Tag(bytes);
    if (!tag)
        return 0;
    require(tag->framesReadByTagLib <= tag->frames.size(), "TagLib reads at most every frame");
    TagLib::ByteVector frames;
    bool properIds = true;
    for (const TagLib::ByteVector& frame : tag->frames) {
        require(frame.size() >= 10, "a frame has a header");
        frames.append(frame);
        properIds = properIds && std::all_of(frame.begin(), frame.begin() + 4, [](char c) {
                        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
                    });
    }
    // ID3v2.2 frames grow by their longer headers as they become ID3v2.3 frames.
    require(bytes[3] == 2 || frames.size() + 10 <= size, "the frames lie within the tag");
    if (!properIds)
        return 0;

    const TagLib::ByteVector assembled = ctaglib::assembleId3v2Tag(*tag, frames);
    const std::optional<ctaglib::StoredId3v2Tag> again = ctaglib::parseStoredId3v2Tag(assembled);
    require(again.has_value(), "an assembled tag reads back");
    require(again->version == tag->version, "the version stays");
    require(again->frames == tag->frames, "the frames stay as they were");
    require(again->framesReadByTagLib == tag->framesReadByTagLib, "TagLib reads as many frames");
    return 0;
}
