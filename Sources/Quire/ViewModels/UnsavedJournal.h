#pragma once

#include "Platform/FileSystem.h"
#include "QuireCore/AudioFile.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class DocumentViewModel;
class QLockFile;

// What a modified file holds that its file on disk does not: the fields and
// items whose values differ (with the values the file has now; none clears),
// its pictures when they differ, and the disk file's stamp when it was last
// read or written, which tells whether the changes still apply to it.
struct UnsavedFile {
    QUrl url;
    std::optional<Platform::FileStamp> stamp;
    QMap<QString, std::optional<QString>> fields; // by FieldKey::name()
    std::optional<QList<Artwork>> artwork;
    bool operator==(const UnsavedFile&) const = default;

    static UnsavedFile between(const AudioFile& now, const AudioFile& onDisk,
                               const std::optional<Platform::FileStamp>& stamp);
    // `onDisk` with the changes applied.
    AudioFile appliedTo(AudioFile onDisk) const;
};

struct UnsavedChanges {
    QDateTime written; // UTC
    QList<UnsavedFile> files;
    bool operator==(const UnsavedChanges&) const = default;

    // JSON, each picture held once however many files carry it.
    QByteArray encoded() const;
    // None (with `error` set) for anything but a whole, well-formed journal.
    static std::optional<UnsavedChanges> decoded(const QByteArray& bytes, QString* error);
};

// A journal of the document's unsaved changes, so that a crash, a killed
// process or a power loss loses none of them: within a second of every change
// the modified files' changes are written to a file of this instance's own in
// `folder` (written beside and renamed over, flushed to disk), off the GUI
// thread. The journal holds what is unsaved now, not the history: files saved
// or back to their disk state drop out, and with nothing unsaved it is
// removed. Each journal is locked by the instance writing it, so another never
// takes a journal that is still being kept.
class UnsavedJournal : public QObject {
    Q_OBJECT

public:
    // The journals' folder: $XDG_STATE_HOME/cadenza, or ~/.local/state/cadenza.
    static QString defaultFolder();

    UnsavedJournal(DocumentViewModel& document, QString folder, QObject* parent = nullptr);
    // Waits for a write in progress and leaves the journal as it is: only a
    // clean end (close()) removes it.
    ~UnsavedJournal() override;

    // Starts writing the current state at once, off this thread.
    void writeNow();
    // Writes now and waits until the journal is on disk.
    void flush();
    // The editor ends and nothing it leaves unsaved is wanted: removes the journal.
    void close();
    QString path() const { return m_path; }

    // A journal left by an instance that ended without closing it, locked for
    // the caller while the value lives.
    struct Leftover {
        QString path;
        UnsavedChanges changes;
        std::shared_ptr<QLockFile> lock;
    };
    struct Found {
        QList<Leftover> leftovers;
        // Journals that could not be used (damaged, another version, another
        // user's), each set aside with the reason, for the user.
        QStringList setAside;
    };
    // The journals in `folder` whose instance has ended.
    static Found leftovers(const QString& folder);
    // Removes a leftover journal (after its changes were restored or discarded).
    static void remove(const Leftover& leftover);

    // Opens the leftover's files in `document` and re-applies their changes,
    // as one undo step, to every file whose stamp still matches its file on
    // disk. `done` gets the files whose file changed or vanished meanwhile,
    // which were not applied.
    static void restore(DocumentViewModel& document, const UnsavedChanges& changes,
                        std::function<void(const QList<UnsavedFile>& notApplied)> done);

private:
    void schedule();

    DocumentViewModel& m_document;
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_delay;
    // One writer at a time, each writing the latest state it was handed.
    QThreadPool m_writer;
    bool m_closed = false;
};
