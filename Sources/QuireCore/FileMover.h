#pragma once

#include "Platform/FileSystem.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

// One file to move: `id` names it in the outcome.
struct FileMove {
    QUuid id;
    QUrl from;
    QUrl to;
    bool operator==(const FileMove&) const = default;
};

// Where the files of a run are after it.
struct FileMoveOutcome {
    // Why a run of moveTogether left every file where it was.
    struct Failure {
        enum class Kind {
            targetTaken, // `target` holds a file that the run does not move away: nothing was moved
            moveFailed,  // a move failed and everything moved so far went back
        };
        Kind kind = Kind::moveFailed;
        QUrl file;           // the file whose move could not be made
        QUrl target;         // where it was to go
        QString description; // the file system's reason (moveFailed)
        bool operator==(const Failure&) const = default;
    };
    QHash<QUuid, QUrl> locations;                  // where each file of the run is now
    std::optional<Failure> failure;                // moveTogether's, when it did not complete
    QHash<QUuid, Platform::FileError> failedMoves; // moveEachOnItsOwn's moves that failed
    bool ok() const { return !failure && failedMoves.isEmpty(); }
};

// Moves files on disk, never over another file. Knows nothing of documents:
// it is given moves and returns where the files went. Remembers the folders it
// made for targets so that they can be removed once empty again (after an
// undo, or a move that failed); hand them from one run to the next through
// madeFolders(). Not shared between threads: a run owns its mover.
class FileMover {
public:
    // Called after each step of a run, with the steps done and their number.
    using Progress = std::function<void(qint64 completed, qint64 total)>;

    explicit FileMover(QSet<QString> madeFolders = {});

    // All or nothing: a target may be taken only by a file this run moves away
    // (an exchange of names) or by the file itself under another letter case;
    // every file is first parked under a hidden name in its folder, then put
    // in place. On a failure every file goes back where it was. Folders the
    // targets name are made below the source's folder. Moves whose `from` and
    // `to` are the same location are left out.
    FileMoveOutcome moveTogether(const QList<FileMove>& moves, const Progress& progress = {});
    // Each move on its own, straight to its target (no parking): a taken name
    // or a failure leaves that file where it is and the others move.
    FileMoveOutcome moveEachOnItsOwn(const QList<FileMove>& moves, const Progress& progress = {});

    // Makes the missing folders of `to` when they lie below the folder of
    // `from` (never elsewhere), remembering them; the topmost one made.
    std::optional<QString> makeFolderFor(const QUrl& from, const QUrl& to);
    // Removes the folders made that are empty again, innermost first.
    void removeMadeFoldersIfEmpty();
    const QSet<QString>& madeFolders() const { return m_madeFolders; }

    // Whether two locations name one file: by identity when both exist, else
    // by their paths ignoring letter case and diacritical marks.
    static bool isSameFile(const QUrl& a, const QUrl& b);
    // Characters refused in a typed file name.
    static bool containsIllegalFilenameCharacter(const QString& name);
    // A hidden, unique name in the folder of `location` (".<UUID>.rename"), for two-step moves.
    static QUrl parkingLocation(const QUrl& location);
    static bool sameStandardizedLocation(const QUrl& a, const QUrl& b);

private:
    QSet<QString> m_madeFolders; // paths
};
