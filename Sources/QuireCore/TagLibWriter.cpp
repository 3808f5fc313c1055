#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagWriter.h"

#include "Platform/FileSystem.h"
#include "QuireCore/SafeFileReplacement.h"

#include <QFile>

#include <limits>

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

std::optional<int32_t> numberArgument(const std::optional<qint64>& value) {
    return value ? std::optional(static_cast<int32_t>(*value)) : std::nullopt;
}

std::optional<std::string> textArgument(const std::optional<QString>& value) {
    return value ? std::optional(value->toStdString()) : std::nullopt;
}

} // namespace

Result<BridgeWriteRequest, TagReaderError> bridgeWriteRequest(const QUrl& url, const TagSet& tags,
                                                              const std::optional<QList<Artwork>>& artwork) {
    if (const std::optional<TagField> field = firstNumberOutOfRange(tags))
        return TagReaderError::invalidNumber(displayName(*field));

    const std::optional<QByteArray> path = Platform::fileSystemPath(url);
    if (!path)
        return TagReaderError::writeFailed();

    BridgeWriteRequest request;
    request.path = path->toStdString();
    request.title = textArgument(tags.title);
    request.artist = textArgument(tags.artist);
    request.album = textArgument(tags.album);
    request.albumArtist = textArgument(tags.albumArtist);
    request.composer = textArgument(tags.composer);
    request.genre = textArgument(tags.genre);
    request.comment = textArgument(tags.comment);
    request.grouping = textArgument(tags.grouping);
    request.lyrics = textArgument(tags.lyrics);
    request.year = numberArgument(tags.year);
    request.track = numberArgument(tags.trackNumber);
    request.trackTotal = numberArgument(tags.trackTotal);
    request.disc = numberArgument(tags.discNumber);
    request.discTotal = numberArgument(tags.discTotal);
    request.bpm = numberArgument(tags.bpm);
    request.compilation = tags.compilation ? (*tags.compilation ? 1 : 0) : -1;
    if (artwork) {
        std::vector<BridgePicture>& pictures = request.pictures.emplace();
        pictures.reserve(static_cast<size_t>(artwork->size()));
        for (const Artwork& picture : *artwork)
            pictures.push_back({picture.data, mimeType(picture.format).toStdString(),
                                textArgument(picture.description), id3v2PictureType(picture.type)});
    }
    return request;
}

namespace {

// Room the tag write may need beyond the file's own size: the new text and
// pictures (FLAC stores pictures twice, once base64-encoded), with slack for
// padding and rewritten blocks.
qint64 roomNeeded(const BridgeWriteRequest& request) {
    qint64 payload = 0;
    for (const auto* text :
         {&request.title, &request.artist, &request.album, &request.albumArtist, &request.composer,
          &request.genre, &request.comment, &request.grouping, &request.lyrics})
        payload += text->has_value() ? static_cast<qint64>((*text)->size()) : 0;
    if (request.pictures) {
        for (const BridgePicture& picture : *request.pictures)
            payload += picture.data.size() * 3;
    }
    return 2 * payload + (1 << 20);
}

// TagLib ignores failed writes: on a full file system it reports success for
// a cut-short file. A write that had room to spare before it started and left
// some after it cannot have been cut short that way.
constexpr qint64 minimumSpaceLeft = 64 * 1024;

bool hasRoom(const QByteArray& path, qint64 needed) {
    const std::optional<qint64> available =
        Platform::availableSpace(QUrl::fromLocalFile(QFile::decodeName(path)));
    return !available || *available >= needed;
}

template <typename T> bool agrees(const std::optional<T>& written, const std::optional<T>& read) {
    return !written || written == read;
}

// Whether the working copy reads back with what was written, as far as the
// format keeps it: DSDIFF files keep only the generic fields and no pictures,
// and formats read a zero year, BPM or lone zero track as absent.
bool readsBackAsWritten(const BridgeWriteRequest& written, const BridgeRecord& read,
                        const BridgeRecord& original, AudioFormat format) {
    if (read.duration != original.duration || read.sampleRate != original.sampleRate ||
        read.channels != original.channels)
        return false;
    auto text = [](const std::optional<std::string>& value) {
        return value && !value->empty() ? value : std::nullopt;
    };
    auto positive = [](const std::optional<int32_t>& value) {
        return value && *value > 0 ? value : std::nullopt;
    };
    const bool generic =
        agrees(text(written.title), read.title) && agrees(text(written.artist), read.artist) &&
        agrees(text(written.album), read.album) && agrees(text(written.genre), read.genre) &&
        agrees(text(written.comment), read.comment) && agrees(positive(written.year), read.year) &&
        agrees(positive(written.track), read.track);
    if (format == AudioFormat::dsdiff || !generic)
        return generic;
    const bool extended =
        agrees(text(written.albumArtist), read.albumArtist) &&
        agrees(text(written.composer), read.composer) && agrees(text(written.grouping), read.grouping) &&
        agrees(text(written.lyrics), read.lyrics) && agrees(positive(written.trackTotal), read.trackTotal) &&
        agrees(positive(written.disc), read.disc) && agrees(positive(written.discTotal), read.discTotal) &&
        agrees(positive(written.bpm), read.bpm) &&
        (written.compilation < 0 || (written.compilation != 0) == (read.compilation == 1));
    if (!extended || !written.pictures)
        return extended;
    std::vector<QByteArray> expected;
    for (const BridgePicture& picture : *written.pictures) {
        if (!picture.data.isEmpty())
            expected.push_back(picture.data);
    }
    if (expected.size() != read.pictures.size())
        return false;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != read.pictures[i].data)
            return false;
    }
    return true;
}

} // namespace

std::optional<TagReaderError> writeTags(const TagLibAccess& access, const QUrl& url, const TagSet& tags,
                                        const std::optional<QList<Artwork>>& artwork) {
    const Result<BridgeWriteRequest, TagReaderError> request = bridgeWriteRequest(url, tags, artwork);
    if (!request)
        return request.error();
    const BridgeReadResult original = access.read(request.value().path);
    if (!original)
        return TagReaderError::writeFailed();
    const AudioFormat format = detectAudioFormat(url).value_or(AudioFormat::mp3);

    // The tags go into a working copy, which replaces the file only once it
    // reads back as written: a failed or interrupted save leaves the file as it was.
    const ReplacementResult replaced = replaceFileSafely(
        QFile::decodeName(QByteArray::fromStdString(request.value().path)),
        [&](const QByteArray& workingCopy) {
            if (!hasRoom(workingCopy, roomNeeded(request.value())))
                return false;
            BridgeWriteRequest copyRequest = request.value();
            copyRequest.path = workingCopy.toStdString();
            if (!access.write(copyRequest) || !hasRoom(workingCopy, minimumSpaceLeft))
                return false;
            const BridgeReadResult written = access.read(copyRequest.path);
            return written && readsBackAsWritten(copyRequest, written.value(), original.value(), format);
        });
    if (!replaced)
        return TagReaderError::writeFailed();
    return std::nullopt;
}

std::optional<TagReaderError> TagLibWriter::write(const QUrl& url, const TagSet& tags,
                                                  const std::optional<QList<Artwork>>& artwork) const {
    return writeTags(defaultTagLibAccess(), url, tags, artwork);
}
