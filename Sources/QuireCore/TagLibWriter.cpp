#include "QuireCore/TagWriter.h"

#include "CTagLibBridge.h"
#include "Platform/FileSystem.h"

#include <limits>
#include <vector>

namespace {

// The first number that does not fit a non-negative 32-bit integer, checked in this order.
std::optional<TagField> firstNumberOutOfRange(const TagSet& tags) {
    for (TagField field : {TagField::year, TagField::trackNumber, TagField::trackTotal, TagField::discNumber,
                           TagField::discTotal, TagField::bpm}) {
        const std::optional<QString> text = tags.value(field);
        if (!text)
            continue;
        const std::optional<qint64> number = TagSet::parseInteger(*text);
        if (!number || *number < 0 || *number > std::numeric_limits<int32_t>::max())
            return field;
    }
    return std::nullopt;
}

int32_t numberArgument(const std::optional<qint64>& value) {
    return static_cast<int32_t>(value.value_or(0));
}
int32_t presence(const std::optional<qint64>& value) {
    return value ? 1 : 0;
}

} // namespace

std::optional<TagReaderError> TagLibWriter::write(const QUrl& url, const TagSet& tags,
                                                  const std::optional<QList<Artwork>>& artwork) const {
    if (const std::optional<TagField> field = firstNumberOutOfRange(tags))
        return TagReaderError::invalidNumber(displayName(*field));

    const std::optional<QByteArray> path = Platform::fileSystemPath(url);
    if (!path)
        return TagReaderError::writeFailed();

    // Every buffer handed to the bridge lives until the call returns; the
    // containers release them on every path.
    std::vector<QByteArray> buffers;
    buffers.reserve(artwork ? artwork->size() * 2 : 0);
    std::vector<CTagLibArtworkWrite> pictures;
    int32_t pictureCount = -1;
    if (artwork) {
        pictureCount = static_cast<int32_t>(artwork->size());
        pictures.reserve(artwork->size());
        for (const Artwork& picture : *artwork) {
            const QByteArray& mime = buffers.emplace_back(mimeType(picture.format).toUtf8());
            const char* description = picture.description
                                          ? buffers.emplace_back(picture.description->toUtf8()).constData()
                                          : nullptr;
            pictures.push_back({reinterpret_cast<const uint8_t*>(picture.data.constData()),
                                picture.data.size(), mime.constData(), id3v2PictureType(picture.type),
                                description});
        }
    }

    auto utf8 = [](const std::optional<QString>& value) { return value.value_or(QString()).toUtf8(); };
    const QByteArray title = utf8(tags.title), artist = utf8(tags.artist), album = utf8(tags.album),
                     albumArtist = utf8(tags.albumArtist), composer = utf8(tags.composer),
                     genre = utf8(tags.genre), comment = utf8(tags.comment), grouping = utf8(tags.grouping),
                     lyrics = utf8(tags.lyrics);
    const int32_t compilation = tags.compilation ? (*tags.compilation ? 1 : 0) : -1;

    const int32_t status = ctaglib_write(
        path->constData(), title.constData(), artist.constData(), album.constData(), albumArtist.constData(),
        composer.constData(), genre.constData(), comment.constData(), grouping.constData(),
        lyrics.constData(), numberArgument(tags.year), presence(tags.year), numberArgument(tags.trackNumber),
        presence(tags.trackNumber), numberArgument(tags.trackTotal), presence(tags.trackTotal),
        numberArgument(tags.discNumber), presence(tags.discNumber), numberArgument(tags.discTotal),
        presence(tags.discTotal), numberArgument(tags.bpm), presence(tags.bpm), compilation,
        pictures.empty() ? nullptr : pictures.data(), pictureCount);
    if (status != 0)
        return TagReaderError::writeFailed();
    return std::nullopt;
}
