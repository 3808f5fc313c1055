#pragma once

#include "QuireCore/Artwork.h"
#include "QuireCore/AudioFormat.h"
#include "QuireCore/AudioProperties.h"
#include "QuireCore/JsonDecoding.h"
#include "QuireCore/TagSet.h"

#include <QDateTime>
#include <QList>
#include <QSharedDataPointer>
#include <QUrl>
#include <QUuid>
#include <optional>

// The in-memory record of one audio file of the document: where it is, what it
// is, its tags and pictures, and its editing state.
//
// A value: copies are independent. The members live in implicitly shared,
// copy-on-write storage, so copying a list of many files (an undo snapshot)
// copies pointers only, and changing one file copies only that record.
class AudioFile {
public:
    AudioFile();
    AudioFile(QUuid id, QUrl url, AudioFormat format, std::optional<TagContainer> tagContainer,
              AudioProperties properties, TagSet tags, QList<Artwork> artwork, bool isModified = false,
              std::optional<QDateTime> lastSaved = std::nullopt);
    AudioFile(const AudioFile&);
    AudioFile(AudioFile&&) noexcept;
    AudioFile& operator=(const AudioFile&);
    AudioFile& operator=(AudioFile&&) noexcept;
    ~AudioFile();

    // Identity for the lifetime of the document; never changes.
    QUuid id() const;
    // Changes only when the file is renamed on disk.
    QUrl url() const;
    AudioFormat format() const;
    TagContainer tagContainer() const;
    const AudioProperties& properties() const;
    const TagSet& tags() const;
    const QList<Artwork>& artwork() const;
    bool isModified() const;
    std::optional<QDateTime> lastSaved() const;
    // Some of the file's tags were malformed: the fields around them were
    // read, the rest could not be. A save may be refused for such a file.
    bool isReadInPart() const;

    void setUrl(const QUrl& url);
    void setTags(const TagSet& tags);
    // The tags to change in place: this record stops sharing them with its copies.
    TagSet& changeableTags();
    void setArtwork(const QList<Artwork>& artwork);
    void setModified(bool modified);
    void setLastSaved(const std::optional<QDateTime>& when);
    void setReadInPart(bool readInPart);

    // Compares all members; records that share storage are equal at once.
    bool operator==(const AudioFile& other) const;
    // Whether both values still share one storage (neither changed since the copy).
    bool sharesStorageWith(const AudioFile& other) const { return d == other.d; }
    // Equal for values that share one storage: a key to find a record unchanged since the copy without
    // reading it.
    const void* storageIdentity() const { return d.constData(); }

    const QString& path() const;              // the location as a local path
    const QString& filename() const;          // Song.mp3
    QString filenameWithoutExtension() const; // Song
    QStringView folder() const;               // the path of the folder holding it

    // Sort keys of the file table's columns (references: a sort compares them
    // hundreds of thousands of times).
    const QString& sortFilename() const { return filename(); }
    const QString& sortTitle() const { return textOrEmpty(tags().title); }
    const QString& sortArtist() const { return textOrEmpty(tags().artist); }
    const QString& sortAlbum() const { return textOrEmpty(tags().album); }
    // The number, or none for text that is no number ("A1") and for no track.
    // No track sorts as 0.
    std::optional<qint64> sortTrack() const {
        return tags().trackNumber ? TagSet::parseInteger(*tags().trackNumber) : std::optional<qint64>(0);
    }
    std::optional<qint64> sortDisc() const {
        return tags().discNumber ? TagSet::parseInteger(*tags().discNumber) : std::optional<qint64>(0);
    }
    double sortDuration() const { return properties().duration; }
    QString sortFormat() const { return rawValue(format()); }
    qint64 sortBitrate() const { return properties().bitrate; }
    qint64 sortSampleRate() const { return properties().sampleRate; }

    // The tags common to all files (see TagSet::batchMerge).
    static TagSet batchTags(const QList<AudioFile>& files);
    // The pictures common to all files, compared by position with the first
    // file's list (see Artwork::isSamePicture); none when they differ or there
    // are no files.
    static std::optional<QList<Artwork>> batchArtwork(const QList<AudioFile>& files);

    QJsonObject toJson() const;
    static Decoded<AudioFile> fromJson(const QJsonValue& json);

private:
    static const QString& textOrEmpty(const std::optional<QString>& text) {
        static const QString empty;
        return text ? *text : empty;
    }

    class Data;
    QSharedDataPointer<Data> d;
};
// One pointer: lists of files move theirs with memmove (a row inserted into a list of 100,000 shifts the
// rest at once instead of moving each record).
Q_DECLARE_TYPEINFO(AudioFile, Q_RELOCATABLE_TYPE);

// One line of the file table: the texts of an AudioFile's columns.
struct AudioFileRow {
    AudioFile file;

    QUuid id() const { return file.id(); }
    QString filename() const { return file.filename(); }
    std::optional<QString> title() const { return file.tags().title; }
    std::optional<QString> artist() const { return file.tags().artist; }
    std::optional<QString> album() const { return file.tags().album; }
    std::optional<QString> trackNumber() const { return file.tags().trackNumber; }
    QString duration() const { return file.properties().formattedDuration(); }
    QString format() const { return displayName(file.format()); }
    QString bitrate() const { return file.properties().formattedBitrate(); }
    QString sampleRate() const { return file.properties().formattedSampleRate(); }
    bool isModified() const { return file.isModified(); }
};
