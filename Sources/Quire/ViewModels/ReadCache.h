#pragma once

#include "Platform/FileSystem.h"
#include "QuireCore/AudioFile.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <atomic>
#include <memory>
#include <optional>

class QSqlQuery;

// What reads found, kept between runs in an SQLite database, so that opening
// a file that has not changed since takes its record from here instead of
// reading it again. Records are keyed by the file's path and count only while
// the file's stamp (device, inode, size, modification and change times) is
// the one stored beside them. A record holds what describes each picture,
// never its bytes.
//
// Nothing in it is needed: a cache that cannot be trusted (not a database,
// damaged, of another format version, another user's) is deleted and made
// anew, with a notice; one that cannot be written is left as it is, and the
// files are read as without it.
//
// Thread-safe. Qt's database connections belong to the thread that opened
// them, so each reading thread looks records up through a Lookup of its own;
// stores go to a writer thread of the cache's own, a batch per transaction.
class ReadCache {
    class Connection;

public:
    // What is stored and how: bump it whenever either changes, and older caches are dropped.
    static constexpr int formatVersion = 2;

    // $XDG_CACHE_HOME/cadenza/read-cache.sqlite (~/.cache/cadenza/...), one for the editor and the
    // command line.
    static QString defaultPath();

    // Nothing happens on disk until the first lookup or store.
    explicit ReadCache(QString path);
    // Waits for the stores queued.
    ~ReadCache();
    ReadCache(const ReadCache&) = delete;
    ReadCache& operator=(const ReadCache&) = delete;

    const QString& path() const { return m_path; }

    // One thread's lookups; made, used and destroyed on that thread. Opens the
    // cache first when nothing has (checking it, and making it anew when it
    // cannot be trusted).
    class Lookup {
    public:
        explicit Lookup(ReadCache& cache);
        ~Lookup();
        Lookup(const Lookup&) = delete;
        Lookup& operator=(const Lookup&) = delete;
        // The record of the file when its stamp is still `stamp`, with fresh
        // ids as a read gives them; none otherwise.
        std::optional<AudioFile> find(const QUrl& location, const Platform::FileStamp& stamp);

    private:
        ReadCache& m_cache;
        std::unique_ptr<Connection> m_connection;
        std::unique_ptr<QSqlQuery> m_query; // goes before the connection
        int m_generation = -1;
    };

    struct Entry {
        QString path;
        Platform::FileStamp stamp;
        QByteArray record;
    };
    // A record to store for a file read with the stamp taken `takenNs` (since
    // the epoch) before its read; none when a change right after could leave
    // the same stamp, which would pass a stale record for the file.
    static std::optional<Entry> entry(const QUrl& location, const Platform::FileStamp& stamp, qint64 takenNs,
                                      const AudioFile& file);
    // Queues the records for the writer, which stores them in one transaction,
    // replacing those of the same paths. A failure to write leaves the cache as it was.
    void store(QList<Entry> entries);
    // Waits until the stores queued so far are written or have failed.
    void waitForStores();

    // Forgets every record: the database is deleted and made anew when next used.
    void clear();

    // For the user: why the cache was dropped since this was last asked; empty when it was not.
    QString takeNotice();

    // Nanoseconds since the epoch, as file times count them.
    static qint64 nowNs();

private:
    enum class State { unopened, open, unusable, dropped /* deleted and made anew when next used */ };
    // Opens the cache unless it is open (dropping and making anew one that
    // cannot be trusted); the generation of the database to use, or none when
    // there is no usable cache.
    std::optional<int> acquire();
    // A lookup or a store found the database damaged: dropped when next used.
    void markDamaged(int generation);
    bool isCurrent(int generation) const { return m_generation.load() == generation; }
    void writeBatch(const QList<Entry>& entries);

    QString m_path;
    QMutex m_mutex; // guards the state, the notice and the opening
    State m_state = State::unopened;
    QString m_notice;
    std::atomic<int> m_generation{0}; // moves whenever the database is dropped
    QThreadPool m_writer;
};
