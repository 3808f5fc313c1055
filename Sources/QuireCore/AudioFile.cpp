#include "QuireCore/AudioFile.h"

#include "Platform/FileSystem.h"

class AudioFile::Data : public QSharedData {
public:
    QUuid id;
    QUrl url;
    QString path; // worked out once: sorting compares these many times
    QString filename;
    AudioFormat format = AudioFormat::mp3;
    TagContainer tagContainer = TagContainer::id3v2;
    AudioProperties properties;
    TagSet tags;
    QList<Artwork> artwork;
    bool isModified = false;
    bool readInPart = false;
    std::optional<QDateTime> lastSaved;
};

AudioFile::AudioFile()
    : d(new Data) {}

AudioFile::AudioFile(QUuid id, QUrl url, AudioFormat format, std::optional<TagContainer> tagContainer,
                     AudioProperties properties, TagSet tags, QList<Artwork> artwork, bool isModified,
                     std::optional<QDateTime> lastSaved)
    : d(new Data) {
    d->id = id;
    setUrl(url);
    d->format = format;
    d->tagContainer = tagContainer.value_or(defaultTagContainer(format));
    d->properties = std::move(properties);
    d->tags = std::move(tags);
    d->artwork = std::move(artwork);
    d->isModified = isModified;
    d->lastSaved = std::move(lastSaved);
}

AudioFile::AudioFile(const AudioFile&) = default;
AudioFile::AudioFile(AudioFile&&) noexcept = default;
AudioFile& AudioFile::operator=(const AudioFile&) = default;
AudioFile& AudioFile::operator=(AudioFile&&) noexcept = default;
AudioFile::~AudioFile() = default;

QUuid AudioFile::id() const {
    return d->id;
}
QUrl AudioFile::url() const {
    return d->url;
}
AudioFormat AudioFile::format() const {
    return d->format;
}
TagContainer AudioFile::tagContainer() const {
    return d->tagContainer;
}
const AudioProperties& AudioFile::properties() const {
    return d->properties;
}
const TagSet& AudioFile::tags() const {
    return d->tags;
}
const QList<Artwork>& AudioFile::artwork() const {
    return d->artwork;
}
bool AudioFile::isModified() const {
    return d->isModified;
}
std::optional<QDateTime> AudioFile::lastSaved() const {
    return d->lastSaved;
}

void AudioFile::setUrl(const QUrl& url) {
    d->url = url;
    d->path = url.toLocalFile();
    d->filename = Platform::lastPathComponent(url);
}
void AudioFile::setTags(const TagSet& tags) {
    d->tags = tags;
}
TagSet& AudioFile::changeableTags() {
    return d->tags;
}
void AudioFile::setArtwork(const QList<Artwork>& artwork) {
    d->artwork = artwork;
}
void AudioFile::setModified(bool modified) {
    // Reading through the const pointer keeps an unchanged record shared.
    if (d.constData()->isModified != modified)
        d->isModified = modified;
}
bool AudioFile::isReadInPart() const {
    return d->readInPart;
}
void AudioFile::setReadInPart(bool readInPart) {
    if (d.constData()->readInPart != readInPart)
        d->readInPart = readInPart;
}
void AudioFile::setLastSaved(const std::optional<QDateTime>& when) {
    d->lastSaved = when;
}

bool AudioFile::operator==(const AudioFile& other) const {
    if (d == other.d)
        return true;
    return d->id == other.d->id && d->url == other.d->url && d->format == other.d->format &&
           d->tagContainer == other.d->tagContainer && d->properties == other.d->properties &&
           d->tags == other.d->tags && d->artwork == other.d->artwork &&
           d->isModified == other.d->isModified && d->readInPart == other.d->readInPart &&
           d->lastSaved == other.d->lastSaved;
}

const QString& AudioFile::path() const {
    return d->path;
}

const QString& AudioFile::filename() const {
    return d->filename;
}

QStringView AudioFile::folder() const {
    const qsizetype slash = d->path.lastIndexOf(u'/');
    return slash <= 0 ? QStringView(d->path).left(slash + 1) : QStringView(d->path).left(slash);
}

QString AudioFile::filenameWithoutExtension() const {
    return Platform::lastComponentWithoutExtension(d->url);
}

TagSet AudioFile::batchTags(const QList<AudioFile>& files) {
    QList<TagSet> sets;
    sets.reserve(files.size());
    for (const AudioFile& file : files)
        sets.append(file.tags());
    return TagSet::batchMerge(sets);
}

std::optional<QList<Artwork>> AudioFile::batchArtwork(const QList<AudioFile>& files) {
    if (files.isEmpty())
        return std::nullopt;
    const QList<Artwork>& reference = files.first().artwork();
    for (qsizetype i = 1; i < files.size(); ++i) {
        if (!Artwork::areSamePictures(files[i].artwork(), reference))
            return std::nullopt;
    }
    return reference;
}

QJsonObject AudioFile::toJson() const {
    QJsonArray pictures;
    for (const Artwork& picture : d->artwork)
        pictures.append(picture.toJson());
    QJsonObject json{{QStringLiteral("id"), uuidText(d->id)},
                     {QStringLiteral("url"), d->url.toString(QUrl::FullyEncoded)},
                     {QStringLiteral("format"), rawValue(d->format)},
                     {QStringLiteral("tagContainer"), rawValue(d->tagContainer)},
                     {QStringLiteral("properties"), d->properties.toJson()},
                     {QStringLiteral("tags"), d->tags.toJson()},
                     {QStringLiteral("artwork"), pictures},
                     {QStringLiteral("isModified"), d->isModified}};
    if (d->readInPart)
        json.insert(QStringLiteral("readInPart"), true);
    if (d->lastSaved)
        json.insert(QStringLiteral("lastSaved"), d->lastSaved->toUTC().toString(Qt::ISODateWithMs));
    return json;
}

Decoded<AudioFile> AudioFile::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "AudioFile");
    const QUuid id = record.requiredUuid("id");
    const QUrl url(record.requiredString("url"), QUrl::StrictMode);
    // Only a valid file URL that survives its own encoding: anything else would
    // not decode again once written.
    if (!record.failed() && (!url.isValid() || !url.isLocalFile() ||
                             QUrl(url.toString(QUrl::FullyEncoded), QUrl::StrictMode) != url))
        record.fail("url", QStringLiteral("expected a file URL"));
    const AudioFormat format = record.requiredEnum("format", audioFormatFromRawValue, AudioFormat::mp3);
    const TagContainer container =
        record.requiredEnum("tagContainer", tagContainerFromRawValue, TagContainer::id3v2);
    AudioProperties properties = record.required<AudioProperties>("properties");
    TagSet tags = record.required<TagSet>("tags");
    QList<Artwork> artwork = record.requiredList<Artwork>("artwork");
    const bool isModified = record.requiredBool("isModified");
    std::optional<QDateTime> lastSaved;
    if (const std::optional<QString> text = record.optionalString("lastSaved")) {
        lastSaved = QDateTime::fromString(*text, Qt::ISODateWithMs);
        if (!lastSaved->isValid())
            record.fail("lastSaved", QStringLiteral("expected an ISO 8601 date"));
    }
    const bool readInPart = record.optionalBool("readInPart").value_or(false);
    AudioFile file(id, url, format, container, std::move(properties), std::move(tags), std::move(artwork),
                   isModified, lastSaved);
    file.setReadInPart(readInPart);
    return record.finish(std::move(file));
}
