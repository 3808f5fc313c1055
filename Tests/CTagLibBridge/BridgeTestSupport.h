// Helpers for driving the C interface of the bridge from tests.
#pragma once

#include "CTagLibBridge.h"
#include "QuireCore/BridgeRecord.h"
#include "Support/TestSupport.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Readable tag values in test failure messages.
void PrintTo(const BridgeTags& tags, std::ostream* os);

namespace BridgeTest {

struct RecordDeleter {
    void operator()(CTagLibTag* tag) const { ctaglib_free_result(tag); }
};
using Record = std::unique_ptr<CTagLibTag, RecordDeleter>;

Record read(const QByteArray& path);

// The tag values of a write and of a read record; absent is nullopt.
using Tags = BridgeTags;

Tags tagsOf(const CTagLibTag& record);

// Only the fields of TagLib's generic interface (what DSDIFF and ID3v1 keep).
Tags genericOnly(const Tags& all);

// A picture to write (nullopt MIME type and description are passed as null).
struct NewPicture {
    std::string data;
    std::optional<std::string> mimeType = "image/jpeg";
    int type = 3;
    std::optional<std::string> description;
};

// A picture as read back.
struct ReadPicture {
    std::string data;
    std::optional<std::string> mimeType;
    std::optional<std::string> description;
    int type = 0;

    bool operator==(const ReadPicture&) const = default;
};
void PrintTo(const ReadPicture& picture, std::ostream* os);

std::vector<ReadPicture> picturesOf(const CTagLibTag& record);

// Calls ctaglib_write_fields with the fields of tags in the mask. No pictures
// means artworkCount -1 (leave the file's pictures alone).
int write(const QByteArray& path, const Tags& tags,
          const std::optional<std::vector<NewPicture>>& pictures = {}, uint32_t fields = CTAGLIB_ALL_FIELDS);

// A tag set using every field, with non-ASCII text of several scripts.
Tags fullTags();

// Two small pictures of different kinds.
std::vector<NewPicture> twoPictures();

// The picture as it reads back from a format that keeps everything.
ReadPicture asRead(const NewPicture& picture);

// Every supported file name extension.
const std::vector<std::string>& allExtensions();

// The extensions of the formats whose extended fields and pictures the bridge
// handles (all but DSDIFF).
const std::vector<std::string>& extendedExtensions();

bool isMp4(const std::string& extension);

} // namespace BridgeTest
