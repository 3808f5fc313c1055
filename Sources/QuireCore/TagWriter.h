#pragma once

#include "QuireCore/Artwork.h"
#include "QuireCore/TagReaderError.h"
#include "QuireCore/TagSet.h"

#include <QList>
#include <QUrl>
#include <optional>

// What one write changes.
struct WriteScope {
    // The fields and custom items to write; all others stay as they are. A
    // custom item the tag set does not hold is removed.
    FieldKeySet fields;
    // The version of an ID3v2 tag the write has to create (3 or 4); a tag the
    // file has keeps its own.
    int newId3v2Version = 4;

    // Every field and every custom item of the tags.
    static WriteScope everything(const TagSet& tags);
};

// Writes fields of one file's tag set and, optionally, its pictures into the
// file on disk. Synchronous; callers run it off the user-interface thread and
// never write the same file twice at once. Returns the error, or none on success.
class TagWriter {
public:
    virtual ~TagWriter() = default;
    // Writes the scope's fields of tags; every other field, and everything in the
    // file's tags that the model does not know, stays as it is. Without an
    // artwork list the file's pictures stay as they are; an empty list removes
    // them all. Absent and empty text both remove a field.
    virtual std::optional<TagReaderError> write(const QUrl& url, const TagSet& tags, const WriteScope& scope,
                                                const std::optional<QList<Artwork>>& artwork) const = 0;
    // Writes every field.
    std::optional<TagReaderError> write(const QUrl& url, const TagSet& tags,
                                        const std::optional<QList<Artwork>>& artwork) const {
        return write(url, tags, WriteScope::everything(tags), artwork);
    }
};

// Writes through TagLib, after checking that every written number fits
// 0...2147483647 and that the format can keep every written value.
class TagLibWriter final : public TagWriter {
public:
    using TagWriter::write;
    std::optional<TagReaderError> write(const QUrl& url, const TagSet& tags, const WriteScope& scope,
                                        const std::optional<QList<Artwork>>& artwork) const override;
};
