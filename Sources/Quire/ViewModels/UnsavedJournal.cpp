#include "Quire/ViewModels/UnsavedJournal.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QUuid>
#include <unistd.h>

namespace {

const QString formatName = QStringLiteral("cadenza-unsaved-changes");
constexpr int formatVersion = 1;
const QString journalPrefix = QStringLiteral("unsaved-");
const QString journalSuffix = QStringLiteral(".json");

// Soon after an edit, but a burst of edits (typing, an undo held down) makes one write.
constexpr int writeDelayMs = 250;

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// One text: the numbers exceed what JSON numbers keep exactly, and a journal
// of many files stays small.
QString stampText(const Platform::FileStamp& stamp) {
    return QStringLiteral("%1:%2:%3:%4:%5")
        .arg(stamp.device)
        .arg(stamp.inode)
        .arg(stamp.size)
        .arg(stamp.modifiedNs)
        .arg(stamp.changedNs);
}

std::optional<Platform::FileStamp> stampOf(const QString& text) {
    const QStringList parts = text.split(u':');
    if (parts.size() != 5)
        return std::nullopt;
    bool ok[5] = {};
    Platform::FileStamp stamp{parts[0].toULongLong(&ok[0]), parts[1].toULongLong(&ok[1]),
                              parts[2].toLongLong(&ok[2]), parts[3].toLongLong(&ok[3]),
                              parts[4].toLongLong(&ok[4])};
    return std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) ? std::optional(stamp)
                                                                               : std::nullopt;
}

QString journalName(const QUuid& id) {
    return journalPrefix + id.toString(QUuid::WithoutBraces) + journalSuffix;
}

// Moves a journal that cannot be used out of the way, so that it is neither
// offered again nor lost; none when it cannot be moved either.
void setAside(const QString& path) {
    QFile::rename(path, path + QStringLiteral(".set-aside"));
}

} // namespace

UnsavedFile UnsavedFile::between(const AudioFile& now, const AudioFile& onDisk,
                                 const std::optional<Platform::FileStamp>& stamp) {
    UnsavedFile file{now.url(), stamp, {}, {}};
    for (const FieldKey& key : TagSet::differingFields(now.tags(), onDisk.tags()))
        file.fields.insert(key.name(), now.tags().value(key));
    if (!Artwork::areSamePictures(now.artwork(), onDisk.artwork()))
        file.artwork = now.artwork();
    return file;
}

AudioFile UnsavedFile::appliedTo(AudioFile onDisk) const {
    TagSet tags = onDisk.tags();
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        if (const std::optional<FieldKey> key = FieldKey::fromName(it.key()))
            tags.setValue(it.value(), *key);
    }
    onDisk.setTags(tags);
    if (artwork)
        onDisk.setArtwork(*artwork);
    return onDisk;
}

QByteArray UnsavedChanges::encoded() const {
    QJsonObject pictures;
    // Files by folder, in the order the folders first come: a library's paths
    // share their folders, which the journal then holds once.
    QList<QString> folderOrder;
    QHash<QString, QJsonArray> folders;
    for (const UnsavedFile& file : this->files) {
        QJsonObject fields;
        for (auto it = file.fields.constBegin(); it != file.fields.constEnd(); ++it)
            fields.insert(it.key(), optionalText(it.value()));
        const QFileInfo location(file.url.toLocalFile());
        QJsonObject entry{{QStringLiteral("name"), location.fileName()}, {QStringLiteral("fields"), fields}};
        if (file.stamp)
            entry.insert(QStringLiteral("stamp"), stampText(*file.stamp));
        if (file.artwork) {
            QJsonArray artwork;
            // Pictures the file itself holds on disk are described only: they
            // are read from it again when needed, like those of a file read now.
            for (const Artwork& picture : *file.artwork) {
                QJsonObject json = picture.toJson();
                json.remove(QStringLiteral("data"));
                if (!picture.data.isEmpty()) {
                    const QString digest = QString::fromLatin1(picture.digest.toHex());
                    if (!pictures.contains(digest))
                        pictures.insert(digest, QString::fromLatin1(picture.data.toBase64()));
                    json.insert(QStringLiteral("picture"), digest);
                }
                artwork.append(json);
            }
            entry.insert(QStringLiteral("artwork"), artwork);
        }
        const QString folder = location.path();
        auto inFolder = folders.find(folder);
        if (inFolder == folders.end()) {
            folderOrder.append(folder);
            inFolder = folders.insert(folder, {});
        }
        inFolder->append(entry);
    }
    QJsonArray files;
    for (const QString& folder : std::as_const(folderOrder))
        files.append(QJsonObject{{QStringLiteral("folder"), folder},
                                 {QStringLiteral("files"), folders.value(folder)}});
    const QJsonObject journal{{QStringLiteral("format"), formatName},
                              {QStringLiteral("version"), formatVersion},
                              {QStringLiteral("written"), written.toString(Qt::ISODateWithMs)},
                              {QStringLiteral("folders"), files},
                              {QStringLiteral("pictures"), pictures}};
    return QJsonDocument(journal).toJson(QJsonDocument::Compact);
}

std::optional<UnsavedChanges> UnsavedChanges::decoded(const QByteArray& bytes, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return fail(QCoreApplication::translate("UnsavedJournal", "it is damaged"));
    const QJsonObject journal = document.object();
    if (journal.value(u"format").toString() != formatName)
        return fail(QCoreApplication::translate("UnsavedJournal", "it is no journal of unsaved changes"));
    if (journal.value(u"version").toInt() != formatVersion)
        return fail(QCoreApplication::translate("UnsavedJournal", "it was written by another version"));

    UnsavedChanges changes;
    changes.written = QDateTime::fromString(journal.value(u"written").toString(), Qt::ISODateWithMs);
    const QJsonObject pictures = journal.value(u"pictures").toObject();
    const QString damaged = QCoreApplication::translate("UnsavedJournal", "it is damaged");
    if (!changes.written.isValid() || !journal.value(u"folders").isArray())
        return fail(damaged);
    for (const QJsonValue& folderValue : journal.value(u"folders").toArray()) {
        const QString folder = folderValue.toObject().value(u"folder").toString();
        if (!QDir::isAbsolutePath(folder) || !folderValue.toObject().value(u"files").isArray())
            return fail(damaged);
        for (const QJsonValue& value : folderValue.toObject().value(u"files").toArray()) {
            const QJsonObject entry = value.toObject();
            const QString name = entry.value(u"name").toString();
            if (name.isEmpty() || name.contains(u'/') || !entry.value(u"fields").isObject())
                return fail(damaged);
            UnsavedFile file{QUrl::fromLocalFile(QDir(folder).filePath(name)), std::nullopt, {}, {}};
            if (entry.contains(u"stamp")) {
                file.stamp = stampOf(entry.value(u"stamp").toString());
                if (!file.stamp)
                    return fail(damaged);
            }
            const QJsonObject fields = entry.value(u"fields").toObject();
            for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
                if (!FieldKey::fromName(it.key()) || !(it.value().isString() || it.value().isNull()))
                    return fail(damaged);
                file.fields.insert(it.key(),
                                   it.value().isNull() ? std::nullopt : std::optional(it.value().toString()));
            }
            if (entry.contains(u"artwork")) {
                QList<Artwork> artwork;
                for (const QJsonValue& pictureValue : entry.value(u"artwork").toArray()) {
                    QJsonObject json = pictureValue.toObject();
                    if (json.contains(u"picture")) {
                        const QJsonValue data = pictures.value(json.value(u"picture").toString());
                        if (!data.isString())
                            return fail(damaged);
                        json.remove(QStringLiteral("picture"));
                        json.insert(QStringLiteral("data"), data);
                    }
                    Decoded<Artwork> picture = Artwork::fromJson(json);
                    if (!picture)
                        return fail(damaged);
                    artwork.append(std::move(picture).value());
                }
                file.artwork = std::move(artwork);
            }
            changes.files.append(std::move(file));
        }
    }
    return changes;
}

QString UnsavedJournal::defaultFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/cadenza");
}

UnsavedJournal::UnsavedJournal(DocumentViewModel& document, QString folder, QObject* parent)
    : QObject(parent)
    , m_document(document) {
    QDir().mkpath(folder);
    m_path = QDir(folder).filePath(journalName(QUuid::createUuid()));
    m_lock = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // held for the whole run: only a dead holder makes it stale
    m_lock->tryLock(0);
    m_writer.setMaxThreadCount(1);
    m_delay.setSingleShot(true);
    m_delay.setInterval(writeDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &UnsavedJournal::writeNow);
    connect(&document, &DocumentViewModel::changed, this, &UnsavedJournal::schedule);
}

UnsavedJournal::~UnsavedJournal() {
    m_writer.waitForDone();
}

void UnsavedJournal::schedule() {
    if (!m_closed && !m_delay.isActive())
        m_delay.start();
}

void UnsavedJournal::writeNow() {
    ASSERT_GUI_THREAD();
    m_delay.stop();
    if (m_closed)
        return;
    // Only pointers are copied here; comparing and encoding run on the writer.
    struct Modified {
        AudioFile now;
        DocumentViewModel::DiskState disk;
    };
    QList<Modified> modified;
    for (const AudioFile& file : m_document.files()) {
        if (!file.isModified())
            continue;
        if (std::optional<DocumentViewModel::DiskState> disk = m_document.diskState(file.id()))
            modified.append({file, std::move(*disk)});
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_writer.start([path = m_path, modified = std::move(modified), now] {
        UnsavedChanges changes{now, {}};
        changes.files.reserve(modified.size());
        for (const Modified& file : modified) {
            UnsavedFile unsaved = UnsavedFile::between(file.now, file.disk.onDisk, file.disk.stamp);
            if (!unsaved.fields.isEmpty() || unsaved.artwork)
                changes.files.append(std::move(unsaved));
        }
        if (changes.files.isEmpty()) {
            QFile::remove(path);
            return;
        }
        // QSaveFile flushes the new journal to disk before it takes the old one's place.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(changes.encoded());
            file.commit();
        }
    });
}

void UnsavedJournal::flush() {
    writeNow();
    m_writer.waitForDone();
}

void UnsavedJournal::close() {
    m_closed = true;
    m_delay.stop();
    m_writer.waitForDone();
    QFile::remove(m_path);
    m_lock->unlock();
}

UnsavedJournal::Found UnsavedJournal::leftovers(const QString& folder) {
    Found found;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({journalPrefix + QStringLiteral("*") + journalSuffix}, QDir::Files, QDir::Time);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        auto lock = std::make_shared<QLockFile>(path + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue; // its instance still runs
        const auto refuse = [&](const QString& why) {
            setAside(path);
            found.setAside.append(QCoreApplication::translate(
                                      "UnsavedJournal", "The unsaved changes in “%1” were set aside: %2.")
                                      .arg(path, why));
        };
        if (QFileInfo(path).ownerId() != ::getuid()) {
            found.setAside.append(
                QCoreApplication::translate(
                    "UnsavedJournal",
                    "The unsaved changes in “%1” belong to another user and were left alone.")
                    .arg(path));
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            refuse(file.errorString());
            continue;
        }
        QString error;
        std::optional<UnsavedChanges> changes = UnsavedChanges::decoded(file.readAll(), &error);
        if (!changes) {
            refuse(error);
            continue;
        }
        found.leftovers.append({path, std::move(*changes), std::move(lock)});
    }
    return found;
}

void UnsavedJournal::remove(const Leftover& leftover) {
    QFile::remove(leftover.path);
}

void UnsavedJournal::restore(DocumentViewModel& document, const UnsavedChanges& changes,
                             std::function<void(const QList<UnsavedFile>& notApplied)> done) {
    QList<QUrl> locations;
    for (const UnsavedFile& file : changes.files)
        locations.append(file.url);
    auto apply = [&document, changes, done = std::move(done)] {
        QHash<QString, UnsavedFile> byPath;
        for (const UnsavedFile& file : changes.files)
            byPath.insert(file.url.toLocalFile(), file);
        QList<AudioFile> files = document.files();
        bool anyApplied = false;
        for (AudioFile& file : files) {
            const auto unsaved = byPath.constFind(file.path());
            if (unsaved == byPath.constEnd())
                continue;
            const std::optional<DocumentViewModel::DiskState> disk = document.diskState(file.id());
            // Only onto the very file the changes were made to, as it was then.
            if (!disk || !disk->stamp || disk->stamp != unsaved->stamp || file.isModified())
                continue;
            file = unsaved->appliedTo(file);
            file.setModified(true);
            byPath.remove(file.path());
            anyApplied = true;
        }
        if (anyApplied)
            document.commit(QCoreApplication::translate("UnsavedJournal", "Restore Unsaved Changes"),
                            std::move(files));
        QList<UnsavedFile> notApplied;
        for (const UnsavedFile& file : changes.files) {
            if (byPath.contains(file.url.toLocalFile()))
                notApplied.append(file);
        }
        if (done)
            done(notApplied);
    };
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&document, &DocumentViewModel::isLoadingChanged, &document,
                                   [&document, connection, apply] {
                                       if (document.isLoading())
                                           return;
                                       QObject::disconnect(*connection);
                                       apply();
                                   });
    document.importFiles(locations);
    if (!document.isLoading()) { // nothing to read
        QObject::disconnect(*connection);
        apply();
    }
}
