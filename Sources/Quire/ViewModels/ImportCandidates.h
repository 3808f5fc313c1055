#pragma once

#include "QuireCore/SaveRecovery.h"
#include "QuireCore/TagReader.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <functional>

// The files an import of some locations reads: the supported audio files at
// them (folders are walked), each once, without those already loaded. They
// are found in portions, each handed over as soon as it is known, so that a
// large folder's first files can be read while the rest is being walked.
//
// With a `recovery` reader, leftovers of interrupted saves are put right
// before the files they concern are handed over (recoverInterruptedSaves, the
// reader telling readable audio): a folder's files wait until the folder has
// been listed to its end, for a leftover may come after them. Files already
// loaded are left alone: this program may be saving them.
class ImportCandidates {
public:
    struct Portion {
        QList<QUrl> files;                 // to read, resolved
        QList<SaveRecoveryNote> recovered; // what the user must hear of recovery
        QStringList withoutUtf8Names;      // audio files found whose paths no location can reach, as shown
        bool isEmpty() const { return files.isEmpty() && recovered.isEmpty() && withoutUtf8Names.isEmpty(); }
    };
    using Found = std::function<void(Portion)>;

    ImportCandidates(QList<QUrl> locations, const QList<QUrl>& loaded, const TagReader* recovery = nullptr);

    // Walks, calling `found` on this thread with each portion (none empty);
    // ends early once `cancelled` is set.
    void run(const Found& found, const std::atomic<bool>* cancelled = nullptr);
    // Everything in one portion.
    Portion all();

private:
    class Walk;
    void recoverElsewhere(Portion& portion);
    void recoverNamed(Portion& portion);
    // Adds the file once, resolved, unless it is loaded, found already or a leftover of a save.
    void take(const QUrl& file, bool canonical, Portion& portion);
    bool readable(const QString& path) const;

    QList<QUrl> m_locations;
    const TagReader* m_recovery;
    QSet<QUrl> m_taken;                            // resolved: loaded, or found already
    QStringList m_walkedFolders;                   // resolved, ending in "/"
    QHash<QString, QSet<QByteArray>> m_namedFiles; // the files given by name, by their resolved folder
};
