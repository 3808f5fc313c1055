#include "Quire/ViewModels/ReadCache.h"

#include "QuireCore/TextInterning.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <array>
#include <chrono>
#include <unistd.h>
#include <zlib.h>

namespace {

// Tells this program's cache from any other SQLite file ("CdzR").
constexpr int applicationId = 0x43647a52;

const QString createTable = QStringLiteral(
    "CREATE TABLE records (path TEXT PRIMARY KEY NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL, "
    "size INTEGER NOT NULL, modified INTEGER NOT NULL, changed INTEGER NOT NULL, record BLOB NOT NULL)");
const QStringList columns = {QStringLiteral("path"),  QStringLiteral("device"),   QStringLiteral("inode"),
                             QStringLiteral("size"),  QStringLiteral("modified"), QStringLiteral("changed"),
                             QStringLiteral("record")};

QString translated(const char* text) {
    return QCoreApplication::translate("ReadCache", text);
}

// SQLITE_CORRUPT and SQLITE_NOTADB, whatever their extended codes: anything
// else (a lock held too long, a full disk) says nothing about what is stored.
bool showsDamage(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == 11 || code == 26;
}

// The fields of a tag set that hold text, in the order records keep them.
constexpr std::array<std::optional<QString> TagSet::*, 15> textFields = {
    &TagSet::title,     &TagSet::artist, &TagSet::album,       &TagSet::albumArtist, &TagSet::composer,
    &TagSet::genre,     &TagSet::year,   &TagSet::trackNumber, &TagSet::trackTotal,  &TagSet::discNumber,
    &TagSet::discTotal, &TagSet::bpm,    &TagSet::comment,     &TagSet::lyrics,      &TagSet::grouping};

// Records keep every member of these types (pictures without their bytes):
// one added to a type changes its size and stops the build here, so that it
// is stored too and formatVersion moves.
struct StoredTagSet {
    std::optional<QString> texts[textFields.size()];
    std::optional<bool> compilation;
    QMap<QString, QString> custom;
};
static_assert(sizeof(TagSet) == sizeof(StoredTagSet));
struct StoredProperties {
    double duration;
    qint64 bitrate, sampleRate, channels;
    QString codec;
};
static_assert(sizeof(AudioProperties) == sizeof(StoredProperties));
struct StoredArtwork {
    QUuid id;
    QByteArray data, digest;
    ImageFormat format;
    qint64 width, height, sizeBytes;
    ArtworkType type;
    std::optional<QString> description;
};
static_assert(sizeof(Artwork) == sizeof(StoredArtwork));

template <typename Enum, std::size_t count>
std::optional<Enum> enumAt(quint8 index, const std::array<Enum, count>& all) {
    return index < all.size() ? std::optional(all[index]) : std::nullopt;
}

void writeText(QDataStream& out, const std::optional<QString>& text) {
    out << bool(text);
    if (text)
        out << *text;
}

std::optional<QString> readText(QDataStream& in) {
    bool present = false;
    in >> present;
    if (!present)
        return std::nullopt;
    QString text;
    in >> text;
    return text;
}

// What a record keeps of a picture: all that describes it, never its bytes.
void writePicture(QDataStream& out, const Artwork& picture) {
    out << quint8(picture.type) << quint8(picture.format) << picture.width << picture.height
        << picture.sizeBytes << picture.digest;
    writeText(out, picture.description);
}

std::optional<Artwork> readPicture(QDataStream& in) {
    quint8 type = 0, format = 0;
    Artwork picture;
    in >> type >> format >> picture.width >> picture.height >> picture.sizeBytes >> picture.digest;
    picture.description = readText(in);
    const std::optional<ArtworkType> knownType = enumAt(type, allArtworkTypes);
    const std::optional<ImageFormat> knownFormat = enumAt(format, allImageFormats);
    if (!knownType || !knownFormat || picture.digest.size() != 16)
        return std::nullopt;
    picture.id = QUuid::createUuid();
    picture.type = *knownType;
    picture.format = *knownFormat;
    return picture;
}

// A record ends in the CRC-32 of what comes before it.
constexpr qsizetype checksumSize = 4;

quint32 checksum(const char* bytes, qsizetype size) {
    return quint32(::crc32(0, reinterpret_cast<const Bytef*>(bytes), uInt(size)));
}

QByteArray encodedRecord(const AudioFile& file) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << quint8(file.format()) << quint8(file.tagContainer()) << file.isReadInPart();
    const AudioProperties& properties = file.properties();
    out << properties.duration << properties.bitrate << properties.sampleRate << properties.channels
        << properties.codec;
    const TagSet& tags = file.tags();
    for (const auto field : textFields)
        writeText(out, tags.*field);
    out << qint8(tags.compilation ? int(*tags.compilation) : -1) << tags.custom;
    out << quint32(file.artwork().size());
    for (const Artwork& picture : file.artwork())
        writePicture(out, picture);
    out << checksum(bytes.constData(), bytes.size());
    return bytes;
}

std::optional<AudioFile> decodedRecord(const QByteArray& record, const QUrl& location) {
    if (record.size() < checksumSize)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromRawData(record.constData(), record.size() - checksumSize);
    quint32 stored = 0;
    QDataStream(record.sliced(bytes.size())) >> stored;
    if (stored != checksum(bytes.constData(), bytes.size()))
        return std::nullopt;
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint8 format = 0, container = 0;
    bool readInPart = false;
    AudioProperties properties;
    in >> format >> container >> readInPart >> properties.duration >> properties.bitrate >>
        properties.sampleRate >> properties.channels >> properties.codec;
    TagSet tags;
    for (const auto field : textFields)
        tags.*field = readText(in);
    qint8 compilation = -1;
    in >> compilation >> tags.custom;
    if (compilation == 0 || compilation == 1)
        tags.compilation = compilation == 1;
    quint32 pictureCount = 0;
    in >> pictureCount;
    QList<Artwork> artwork;
    for (quint32 i = 0; i < pictureCount && in.status() == QDataStream::Ok; ++i) {
        std::optional<Artwork> picture = readPicture(in);
        if (!picture)
            return std::nullopt;
        artwork.append(std::move(*picture));
    }
    const std::optional<AudioFormat> knownFormat = enumAt(format, allAudioFormats);
    const std::optional<TagContainer> knownContainer = enumAt(container, allTagContainers);
    if (in.status() != QDataStream::Ok || !in.atEnd() || !knownFormat || !knownContainer ||
        compilation < -1 || compilation > 1)
        return std::nullopt;
    AudioFile file(QUuid::createUuid(), location, *knownFormat, *knownContainer, std::move(properties),
                   withSharedTexts(std::move(tags)), std::move(artwork));
    file.setReadInPart(readInPart);
    return file;
}

// What can be told of a database before it is used.
struct Inspection {
    enum class Outcome { usable, drop, unusable };
    Outcome outcome = Outcome::unusable;
    QString reason; // for drop
};

} // namespace

// A database connection of the thread that makes it, closed and removed when
// it goes (on that thread).
class ReadCache::Connection {
public:
    explicit Connection(const QString& path) {
        static std::atomic<quint64> made{0};
        m_name = QStringLiteral("cadenza-read-cache-%1").arg(++made);
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        database.setDatabaseName(path);
        // Another process writing (the editor and the command line at once) is waited for a while.
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        m_open = database.open();
    }
    ~Connection() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_open = false;
};

namespace {

// Checks the database at the connection, making it when it is new.
Inspection inspect(const QSqlDatabase& database) {
    const auto failed = [](const QSqlQuery& query) {
        return showsDamage(query.lastError())
                   ? Inspection{Inspection::Outcome::drop, translated("it is damaged")}
                   : Inspection{};
    };
    const auto damaged = Inspection{Inspection::Outcome::drop, translated("it is damaged")};
    QSqlQuery query(database);
    const auto number = [&query](const QString& statement) -> std::optional<qint64> {
        if (!query.exec(statement) || !query.next())
            return std::nullopt;
        return query.value(0).toLongLong();
    };
    const std::optional<qint64> application = number(QStringLiteral("PRAGMA application_id"));
    if (!application)
        return failed(query);
    const std::optional<qint64> version = number(QStringLiteral("PRAGMA user_version"));
    const std::optional<qint64> objects = number(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!version || !objects)
        return failed(query);
    if (*application == 0 && *version == 0 && *objects == 0) {
        // New. WAL: lookups on other threads and processes never wait for the writer.
        query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        const bool made =
            query.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
            number(QStringLiteral("SELECT count(*) FROM sqlite_master")) == 0 && query.exec(createTable) &&
            query.exec(QStringLiteral("PRAGMA application_id=%1").arg(applicationId)) &&
            query.exec(QStringLiteral("PRAGMA user_version=%1").arg(ReadCache::formatVersion)) &&
            query.exec(QStringLiteral("COMMIT"));
        if (made)
            return {Inspection::Outcome::usable, {}};
        query.exec(QStringLiteral("ROLLBACK"));
        // Another process may have made it meanwhile.
        return number(QStringLiteral("PRAGMA application_id")) == applicationId ? inspect(database)
                                                                                : Inspection{};
    }
    if (*application != applicationId)
        return {Inspection::Outcome::drop, translated("it is no cache of this program")};
    if (*version != ReadCache::formatVersion)
        return {Inspection::Outcome::drop, translated("it was made by another version")};
    QStringList found;
    if (!query.exec(QStringLiteral("SELECT name FROM pragma_table_info('records') ORDER BY cid")))
        return failed(query);
    while (query.next())
        found.append(query.value(0).toString());
    if (found != columns ||
        number(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'")) != 1)
        return damaged;
    // No check of the whole file, which would cost more than a large import takes from the cache: each
    // record is checked when it is read, SQLite its pages.
    return {Inspection::Outcome::usable, {}};
}

QString droppedNotice(const QString& path, const QString& reason) {
    return translated("The cache of what was read from files, “%1”, couldn’t be used (%2), so it was deleted "
                      "and started anew. Nothing is lost: the files are read from disk again.")
        .arg(path, reason);
}

bool removeDatabaseFiles(const QString& path) {
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    return QFile::remove(path) || !QFileInfo::exists(path);
}

} // namespace

QString ReadCache::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/cadenza/read-cache.sqlite");
}

ReadCache::ReadCache(QString path)
    : m_path(std::move(path)) {
    m_writer.setMaxThreadCount(1);
}

ReadCache::~ReadCache() {
    m_writer.waitForDone();
}

qint64 ReadCache::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<int> ReadCache::acquire() {
    const QMutexLocker lock(&m_mutex);
    if (m_state == State::open)
        return m_generation.load();
    if (m_state == State::unusable || !QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")) ||
        !QDir().mkpath(QFileInfo(m_path).path())) {
        m_state = State::unusable;
        return std::nullopt;
    }
    // Dropped by clear() or for damage already told of: deleted without a word.
    bool drop = m_state == State::dropped;
    QString reason;
    if (!drop && QFileInfo::exists(m_path) && QFileInfo(m_path).ownerId() != ::geteuid()) {
        reason = translated("it belongs to another user");
        drop = true;
    }
    m_state = State::unusable;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (drop) {
            if (!removeDatabaseFiles(m_path)) {
                if (!reason.isEmpty())
                    m_notice = translated("The cache of what was read from files, “%1”, can’t be used (%2) "
                                          "and couldn’t be deleted. Files are read from disk instead.")
                                   .arg(m_path, reason);
                return std::nullopt;
            }
            if (!reason.isEmpty())
                m_notice = droppedNotice(m_path, reason);
            drop = false;
        }
        const Connection connection(m_path);
        if (!connection.isOpen())
            return std::nullopt;
        const Inspection inspection = inspect(connection.database());
        if (inspection.outcome == Inspection::Outcome::usable) {
            m_state = State::open;
            return m_generation.load();
        }
        if (inspection.outcome == Inspection::Outcome::unusable)
            return std::nullopt;
        reason = inspection.reason;
        drop = true;
    }
    return std::nullopt;
}

void ReadCache::markDamaged(int generation) {
    const QMutexLocker lock(&m_mutex);
    if (m_state != State::open || m_generation.load() != generation)
        return;
    m_state = State::dropped;
    // Told at once, though the database goes when next used: the import that found the damage ends first.
    m_notice = droppedNotice(m_path, translated("it is damaged"));
    ++m_generation;
}

void ReadCache::clear() {
    const QMutexLocker lock(&m_mutex);
    m_state = State::dropped;
    ++m_generation;
}

QString ReadCache::takeNotice() {
    const QMutexLocker lock(&m_mutex);
    return std::exchange(m_notice, {});
}

ReadCache::Lookup::Lookup(ReadCache& cache)
    : m_cache(cache) {
    const std::optional<int> generation = cache.acquire();
    if (!generation)
        return;
    m_connection = std::make_unique<Connection>(cache.path());
    if (!m_connection->isOpen())
        return;
    m_query = std::make_unique<QSqlQuery>(m_connection->database());
    // No mapping of the file (PRAGMA mmap_size): every reading thread's connection would map all of it,
    // and the resident size counts each mapping (100,000 files: 1 GB at the peak instead of 320 MB), for
    // no gain in time measured.
    m_query->setForwardOnly(true);
    if (!m_query->prepare(QStringLiteral(
            "SELECT device, inode, size, modified, changed, record FROM records WHERE path = ?"))) {
        if (showsDamage(m_query->lastError()))
            cache.markDamaged(*generation);
        m_query.reset();
        return;
    }
    m_generation = *generation;
}

ReadCache::Lookup::~Lookup() = default;

std::optional<AudioFile> ReadCache::Lookup::find(const QUrl& location, const Platform::FileStamp& stamp) {
    if (!m_query || !m_cache.isCurrent(m_generation))
        return std::nullopt;
    m_query->bindValue(0, location.toLocalFile());
    if (!m_query->exec()) {
        if (showsDamage(m_query->lastError()))
            m_cache.markDamaged(m_generation);
        return std::nullopt;
    }
    std::optional<AudioFile> found;
    if (m_query->next()) {
        const Platform::FileStamp stored{
            quint64(m_query->value(0).toLongLong()), quint64(m_query->value(1).toLongLong()),
            m_query->value(2).toLongLong(), m_query->value(3).toLongLong(), m_query->value(4).toLongLong()};
        if (stored == stamp) {
            found = decodedRecord(m_query->value(5).toByteArray(), location);
            if (!found)
                m_cache.markDamaged(m_generation);
        }
    } else if (showsDamage(m_query->lastError())) {
        m_cache.markDamaged(m_generation);
    }
    // Ends the read, so that the writer's changes can be checkpointed.
    m_query->finish();
    return found;
}

// A change to the file right after its stamp was taken keeps the stamp as it
// is only while the file's times are within the file system's last clock
// step: a few milliseconds, or whole seconds (two on FAT) where the times have
// no fractions. Such a record would pass for a file it no longer describes.
std::optional<ReadCache::Entry> ReadCache::entry(const QUrl& location, const Platform::FileStamp& stamp,
                                                 qint64 takenNs, const AudioFile& file) {
    const auto isRecent = [takenNs](qint64 time) {
        constexpr qint64 second = 1'000'000'000;
        return time > takenNs - (time % second == 0 ? 2 * second : second / 20);
    };
    if (isRecent(stamp.modifiedNs) || isRecent(stamp.changedNs))
        return std::nullopt;
    return Entry{location.toLocalFile(), stamp, encodedRecord(file)};
}

void ReadCache::store(QList<Entry> entries) {
    if (!entries.isEmpty())
        m_writer.start([this, entries = std::move(entries)] { writeBatch(entries); });
}

void ReadCache::waitForStores() {
    m_writer.waitForDone();
}

void ReadCache::writeBatch(const QList<Entry>& entries) {
    const std::optional<int> generation = acquire();
    if (!generation)
        return;
    const Connection connection(m_path);
    if (!connection.isOpen())
        return;
    QSqlDatabase database = connection.database();
    QSqlQuery query(database);
    // The cache can lose its last writes in a power cut, but never its consistency.
    query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    if (!database.transaction())
        return;
    bool written = query.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO records (path, device, inode, size, modified, changed, record) "
        "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; written && i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        query.bindValue(0, entry.path);
        query.bindValue(1, qint64(entry.stamp.device));
        query.bindValue(2, qint64(entry.stamp.inode));
        query.bindValue(3, entry.stamp.size);
        query.bindValue(4, entry.stamp.modifiedNs);
        query.bindValue(5, entry.stamp.changedNs);
        query.bindValue(6, entry.record);
        written = query.exec();
    }
    const QSqlError error = query.lastError();
    query.finish();
    if (written && isCurrent(*generation) && database.commit())
        return;
    database.rollback();
    if (showsDamage(error))
        markDamaged(*generation);
}
