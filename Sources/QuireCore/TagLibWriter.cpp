#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagWriter.h"

#include "Platform/FileSystem.h"
#include "QuireCore/SafeFileReplacement.h"
#include "QuireCore/TagFieldTable.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace {

// The first written number that does not fit a non-negative 32-bit integer,
// in field order. Text that is no number is written as it is.
std::optional<TagField> firstNumberOutOfRange(const TagSet& tags, const FieldKeySet& fields) {
    for (TagField field : allTagFields) {
        if (component(field) != FieldComponent::number || !fields.contains(field) || field == TagField::year)
            continue;
        const std::optional<QString> text = tags.value(field);
        const std::optional<qint64> number = text ? TagSet::parseInteger(*text) : std::nullopt;
        if (number && (*number < 0 || *number > std::numeric_limits<int32_t>::max()))
            return field;
    }
    return std::nullopt;
}

// MP4 keeps track and disc numbers, their totals and the BPM as numbers, in 16 bits.
constexpr qint64 mp4NumberLimit = 65535;

// The first written value the file's format cannot keep, as an error.
std::optional<TagReaderError> firstValueNotKept(const QUrl& url, const TagSet& tags,
                                                const FieldKeySet& fields) {
    const std::optional<AudioFormat> format = detectAudioFormat(url);
    if (!format || defaultTagContainer(*format) != TagContainer::mp4)
        return std::nullopt;
    for (TagField field : allTagFields) {
        if (component(field) != FieldComponent::number || !fields.contains(field) || field == TagField::year)
            continue;
        const std::optional<QString> text = tags.value(field);
        if (!text || text->isEmpty())
            continue;
        const std::optional<qint64> number = TagSet::parseInteger(*text);
        if (!number)
            return TagReaderError::notANumber(displayName(field), QStringLiteral("MP4"));
        if (*number > mp4NumberLimit)
            return TagReaderError::valueTooLarge(displayName(field), QStringLiteral("MP4"), mp4NumberLimit);
    }
    return std::nullopt;
}

} // namespace

WriteScope WriteScope::everything(const TagSet& tags) {
    WriteScope scope{fieldKeysOf(allTagFieldSet())};
    for (auto it = tags.custom.constBegin(); it != tags.custom.constEnd(); ++it)
        scope.fields.insert(FieldKey::custom(it.key()));
    return scope;
}

Result<BridgeWriteRequest, TagReaderError> bridgeWriteRequest(const QUrl& url, const TagSet& tags,
                                                              const WriteScope& scope,
                                                              const std::optional<QList<Artwork>>& artwork) {
    if (const std::optional<TagField> field = firstNumberOutOfRange(tags, scope.fields))
        return TagReaderError::invalidNumber(displayName(*field));
    if (std::optional<TagReaderError> error = firstValueNotKept(url, tags, scope.fields))
        return *error;

    const std::optional<QByteArray> path = Platform::fileSystemPath(url);
    if (!path)
        return TagReaderError::writeFailed();

    BridgeWriteRequest request;
    static_cast<BridgeTags&>(request) = bridgeTagsOf(tags);
    request.path = path->toStdString();
    TagFieldSet fields;
    QStringList customNames;
    for (const FieldKey& key : scope.fields) {
        if (key.field())
            fields.insert(*key.field());
        else
            customNames.append(key.customName());
    }
    request.fields = bridgeFieldMask(fields);
    customNames.sort();
    for (const QString& name : customNames)
        request.properties.emplace_back(name.toStdString(), tags.custom.value(name).toStdString());
    request.newId3v2Version = scope.newId3v2Version == 3 ? 3 : 4;
    if (artwork) {
        std::vector<BridgePicture>& pictures = request.pictures.emplace();
        pictures.reserve(static_cast<size_t>(artwork->size()));
        for (const Artwork& picture : *artwork) {
            BridgePicture& written = pictures.emplace_back();
            written.data = picture.data;
            written.mimeType = mimeType(picture.format).toStdString();
            if (picture.description)
                written.description = picture.description->toStdString();
            written.pictureType = id3v2PictureType(picture.type);
        }
    }
    return request;
}

namespace {

// Room the tag write may need beyond the file's own size: the new text and
// pictures (FLAC stores pictures twice, once base64-encoded), with slack for
// padding and rewritten blocks.
qint64 roomNeeded(const BridgeWriteRequest& request) {
    qint64 payload = 0;
    forEachField(Overloaded{
        [&](const TextFieldBinding& b) {
            if (const std::optional<std::string>& text = request.*b.bridge)
                payload += static_cast<qint64>(text->size());
        },
        [](const auto&) {},
    });
    for (const auto& [name, value] : request.properties)
        payload += static_cast<qint64>(name.size() + value.size());
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

// Whether a text reads back as written. A format without several values per
// item (ID3v2.3) keeps them joined by its own convention.
bool sameText(const std::string& written, const std::optional<std::string>& read) {
    if (!read)
        return false;
    if (written == *read)
        return true;
    const QString separator = TagSet::valueSeparator.toString();
    const QString text = QString::fromStdString(written);
    const QString readText = QString::fromStdString(*read);
    return text.contains(separator) && (QString(text).replace(separator, QStringLiteral("/")) == readText ||
                                        QString(text).replace(separator, QStringLiteral(" / ")) == readText);
}

// Whether a field reads back as written, as far as formats keep it: they read
// empty text and a zero year, BPM or lone zero track as absent, and MP4 keeps
// "07" as the number 7.
bool readsBackAs(const TextFieldBinding& b, const BridgeTags& written, const BridgeTags& read) {
    const std::optional<std::string>& text = written.*b.bridge;
    return !text || text->empty() || sameText(*text, read.*b.bridge);
}
bool readsBackAs(const NumberFieldBinding& b, const BridgeTags& written, const BridgeTags& read) {
    const std::optional<std::string>& text = written.*b.bridge;
    if (!text || text->empty() || text == read.*b.bridge)
        return true;
    const std::optional<qint64> number = TagSet::parseInteger(QString::fromStdString(*text));
    const std::optional<std::string>& readText = read.*b.bridge;
    return number &&
           (*number <= 0 || (readText && TagSet::parseInteger(QString::fromStdString(*readText)) == number));
}
bool readsBackAs(const FlagFieldBinding& b, const BridgeTags& written, const BridgeTags& read) {
    const int32_t flag = written.*b.bridge;
    return flag < 0 || (flag != 0) == (read.*b.bridge == 1);
}

// Whether the written custom items read back as written, and every other one
// the original showed as it was.
bool customItemsReadBack(const BridgeTags& written, const BridgeTags& read, const BridgeTags& original) {
    const auto find = [](const BridgeTags& tags, const std::string& name) -> std::optional<std::string> {
        for (const auto& [key, value] : tags.properties) {
            if (key == name)
                return value;
        }
        return std::nullopt;
    };
    for (const auto& [name, value] : written.properties) {
        if (value.empty() ? find(read, name).has_value() : !sameText(value, find(read, name)))
            return false;
    }
    for (const auto& [name, value] : original.properties) {
        if (!find(written, name) && find(read, name) != value)
            return false;
    }
    return true;
}

template <typename T> bool isAbsent(const std::optional<T>& value) {
    return !value;
}
bool isAbsent(int32_t flag) {
    return flag < 0;
}

// An MPEG file's ID3v1 tag holds the first 30 characters of a text, and shows
// where the ID3v2 tag has none. A save that merges a tag readers did not see
// (one appended at the end of the file) into the one they see may bring the
// whole text it was cut from.
template <typename T> bool isFullerText(const T&, const T&) {
    return false;
}
bool isFullerText(const std::optional<std::string>& original, const std::optional<std::string>& read) {
    return original && read && original->size() <= 30 && read->size() > original->size() &&
           read->starts_with(*original);
}

// Whether the working copy reads back with what was written and with every
// other field as it was: a save changes nothing the user did not change. (A
// field the original did not show may appear: tags that could be read only in
// part before may read completely after a save that kept them intact, or
// that merged a second tag into the one readers show; so may pictures, behind
// the ones the original showed.) DSDIFF files keep only the generic fields
// and no pictures. An MP4 file
// without an album artist shows its artist there, which changes with it.
bool readsBackAsWritten(const BridgeWriteRequest& written, const BridgeRecord& read,
                        const BridgeRecord& original, AudioFormat format) {
    if (read.duration != original.duration || read.sampleRate != original.sampleRate ||
        read.channels != original.channels)
        return false;
    const uint32_t stored = format == AudioFormat::dsdiff ? genericBridgeFields : allBridgeFields;
    const uint32_t changed = written.fields & stored;
    bool agrees = true;
    forEachField([&](const auto& b) {
        if (changed & b.bridgeBit)
            agrees = agrees && readsBackAs(b, written, read);
        else if (!(b.field == TagField::albumArtist && (changed & bridgeBitOf(TagField::artist))))
            agrees =
                agrees && (read.*b.bridge == original.*b.bridge || isAbsent(original.*b.bridge) ||
                           (format == AudioFormat::mp3 && isFullerText(original.*b.bridge, read.*b.bridge)));
    });
    if (!agrees || (format != AudioFormat::dsdiff && !customItemsReadBack(written, read, original)))
        return false;
    if (!written.pictures || format == AudioFormat::dsdiff)
        return read.pictures.size() >= original.pictures.size() &&
               std::equal(original.pictures.begin(), original.pictures.end(), read.pictures.begin(),
                          [](const BridgePicture& a, const BridgePicture& b) {
                              return a.digest == b.digest && a.mimeType == b.mimeType &&
                                     a.description == b.description && a.pictureType == b.pictureType;
                          });
    std::vector<QByteArray> expected;
    for (const BridgePicture& picture : *written.pictures) {
        if (!picture.data.isEmpty())
            expected.push_back(Artwork::digestOf(picture.data));
    }
    if (expected.size() != read.pictures.size())
        return false;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != read.pictures[i].digest)
            return false;
    }
    return true;
}

// Why the bridge left the file as it was; none when it wrote it or did not say.
std::optional<TagReaderError> errorOf(BridgeWriteOutcome outcome) {
    switch (outcome) {
    case BridgeWriteOutcome::written:
    case BridgeWriteOutcome::failed:
        return std::nullopt;
    case BridgeWriteOutcome::tagsNotReadCompletely:
        return TagReaderError::tagsNotReadCompletely();
    case BridgeWriteOutcome::duplicateTags:
        return TagReaderError::duplicateTags();
    case BridgeWriteOutcome::valueTooLarge:
        return TagReaderError::valueTooLarge();
    case BridgeWriteOutcome::missing:
        return TagReaderError::missing();
    case BridgeWriteOutcome::noPermission:
        return TagReaderError::noPermission(true);
    case BridgeWriteOutcome::readOnlyFileSystem:
        return TagReaderError::readOnlyFileSystem();
    case BridgeWriteOutcome::unsupportedVariant:
        // The only variants a save refuses: converting their frames would lose some.
        return TagReaderError::unsupportedVariant(
            QStringLiteral("ID3v2.2 tags, and second ID3v2 tags, holding a frame without an ID3v2.3 form are "
                           "not supported"));
    case BridgeWriteOutcome::emptyFile:
        return TagReaderError::emptyFile();
    case BridgeWriteOutcome::notAFile:
        return TagReaderError::notAFile();
    case BridgeWriteOutcome::notANumber:
        return TagReaderError::notANumber();
    case BridgeWriteOutcome::unsupportedKey:
        return TagReaderError::unsupportedVariant(
            QStringLiteral("Items with names like one of the changed ones cannot be kept in this format"));
    }
    return std::nullopt;
}

// Why the file could not be replaced, where the user can do something about it.
TagReaderError errorOf(const SaveFailure& failure) {
    if (failure.reason == SaveFailure::Reason::notRegularFile)
        return failure.code == ENOENT ? TagReaderError::missing() : TagReaderError::notAFile();
    if (failure.code == ENOSPC || failure.code == EDQUOT)
        return TagReaderError::notEnoughSpace();
    if (failure.reason == SaveFailure::Reason::notWritable)
        return failure.code == EROFS ? TagReaderError::readOnlyFileSystem()
                                     : TagReaderError::noPermission(true);
    return TagReaderError::writeFailed();
}

// A read of the original that failed says why the save cannot start, when it knows.
TagReaderError errorOfOriginalRead(const TagReaderError& error) {
    using Kind = TagReaderError::Kind;
    const Kind kind = error.kind();
    const bool hasReason = kind == Kind::missing || kind == Kind::noPermission || kind == Kind::emptyFile ||
                           kind == Kind::notAFile || kind == Kind::unsupportedVariant;
    return hasReason ? error : TagReaderError::writeFailed();
}

} // namespace

std::optional<TagReaderError> writeTags(const TagLibAccess& access, const QUrl& url, const TagSet& tags,
                                        const WriteScope& scope,
                                        const std::optional<QList<Artwork>>& artwork) {
    const Result<BridgeWriteRequest, TagReaderError> request = bridgeWriteRequest(url, tags, scope, artwork);
    if (!request)
        return request.error();
    if (request.value().fields == 0 && request.value().properties.empty() && !request.value().pictures)
        return std::nullopt; // nothing to change
    // Pictures kept from the file itself are written from the bytes it holds
    // now, found by their digest: never from a stale copy.
    const bool needsPictureBytes = artwork && std::any_of(artwork->begin(), artwork->end(),
                                                          [](const Artwork& a) { return !a.holdsBytes(); });
    const BridgeReadResult original = access.read(
        request.value().path, needsPictureBytes ? PictureContent::bytes : PictureContent::descriptions);
    if (!original)
        return errorOfOriginalRead(original.error());
    BridgeWriteRequest filled = request.value();
    if (needsPictureBytes) {
        for (qsizetype i = 0; i < artwork->size(); ++i) {
            const Artwork& picture = artwork->at(i);
            if (picture.holdsBytes())
                continue;
            const auto& onDisk = original.value().pictures;
            const auto found = std::find_if(onDisk.begin(), onDisk.end(), [&](const BridgePicture& p) {
                return p.digest == picture.digest;
            });
            if (found == onDisk.end())
                return TagReaderError::picturesChanged();
            (*filled.pictures)[static_cast<size_t>(i)].data = found->data;
        }
    }
    const AudioFormat format = detectAudioFormat(url).value_or(AudioFormat::mp3);

    // The tags go into a working copy, which replaces the file only once it
    // reads back as written: a failed or interrupted save leaves the file as it was.
    BridgeWriteOutcome outcome = BridgeWriteOutcome::failed;
    bool outOfRoom = false;
    const ReplacementResult replaced = replaceFileSafely(
        QFile::decodeName(QByteArray::fromStdString(request.value().path)),
        [&](const QByteArray& workingCopy) {
            if (!hasRoom(workingCopy, roomNeeded(filled))) {
                outOfRoom = true;
                return false;
            }
            BridgeWriteRequest copyRequest = filled;
            copyRequest.path = workingCopy.toStdString();
            outcome = access.write(copyRequest);
            if (outcome == BridgeWriteOutcome::written && !hasRoom(workingCopy, minimumSpaceLeft))
                outOfRoom = true;
            if (outcome != BridgeWriteOutcome::written || outOfRoom)
                return false;
            const BridgeReadResult written = access.read(copyRequest.path, PictureContent::descriptions);
            return written && readsBackAsWritten(copyRequest, written.value(), original.value(), format);
        });
    if (std::optional<TagReaderError> error = errorOf(outcome))
        return error;
    if (outOfRoom)
        return TagReaderError::notEnoughSpace();
    if (!replaced)
        return errorOf(replaced.error());
    return std::nullopt;
}

std::optional<TagReaderError> TagLibWriter::write(const QUrl& url, const TagSet& tags,
                                                  const WriteScope& scope,
                                                  const std::optional<QList<Artwork>>& artwork) const {
    return writeTags(defaultTagLibAccess(), url, tags, scope, artwork);
}
