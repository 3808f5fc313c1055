#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

// What a save (SafeFileReplacement.h) leaves beside a file while it runs, and putting things right when a
// crash or a power loss left some behind.

// ".song.mp3.0f3a9c21.cadenza-save.mp3": hidden, recognisable, ending in the file's extension because
// TagLib picks the format by it, and cut to fit the longest name a folder can hold. A working copy and the
// backup of one save share the id.
struct SaveLeftover {
    enum class Kind { workingCopy, backup };
    Kind kind = Kind::workingCopy;
    QByteArray fileName; // the saved file's name, or only its start when the name was cut
    quint32 id = 0;
    bool operator==(const SaveLeftover&) const = default;
};

// The extended attribute by which a working copy or backup that is not beside its file (it is in one of
// temporarySaveFolders(), because the file's folder is not writable) names the file's path.
inline constexpr const char* saveLeftoverFileAttribute = "user.cadenza.file";

QByteArray saveLeftoverName(const QByteArray& fileName, SaveLeftover::Kind kind, quint32 id);
// Recognises our own names only: anything saveLeftoverName cannot have made is none.
std::optional<SaveLeftover> parseSaveLeftoverName(const QByteArray& name);

// Renames an entry of the folder without ever replacing an entry that has the new name (renameat2 with
// RENAME_NOREPLACE, else link and unlink). Returns 0 or the errno value.
int renameWithoutReplacing(int folder, const QByteArray& from, const QByteArray& to);

// What the recovery did about one file that the user must hear of. Removing a working copy, or a backup
// equal to its file, needs no word.
struct SaveRecoveryNote {
    enum class Outcome {
        restored,            // the file was put back from its backup
        restoredKeptCurrent, // ...and what it held, readable audio that may be newer, is kept as keptAs
        keptBoth,            // the file stays as it is, its backup is kept as keptAs
        failed,              // the file could not be restored; the backup is kept (as keptAs when set)
    };
    Outcome outcome = Outcome::restored;
    QString file;        // the file's path
    QString keptAs;      // the name of the visible copy beside it, when there is one (a whole path when the
                         // leftover was not beside its file)
    QString description; // with failed: what went wrong
    bool operator==(const SaveRecoveryNote&) const = default;
};

// Finds the leftovers of interrupted saves in the folder (not below it) and puts things right, for files
// whose name `concerns` accepts. Leftovers of a save still running (here or in another process) are locked
// and left alone.
//  - A working copy never replaced its file: removed.
//  - A backup holds the file's complete old content (the save names it so only once it is flushed):
//    - the file is missing: the backup takes its place;
//    - the file equals the backup: the backup is removed;
//    - the file equals the flushed new content of the same save (the working copy beside it): both are
//      intact and differ only in tags, so the file is kept and the backup renamed to a visible name;
//    - otherwise the save stopped while writing the file: it is restored from the backup in place (its
//      inode and every hard link stay). Should it still be readable as audio (a half-written file often
//      is, and so is one another program changed since), what it held is kept under a visible name too.
//    A backup that is not readable as audio is never restored from; it is kept under a visible name.
// readableAsAudio must not parse the file in this process (use a tag reader that runs in a helper). Blocks
// on file-system work: call it off the user-interface thread.
QList<SaveRecoveryNote>
recoverInterruptedSaves(const QString& folder,
                        const std::function<bool(const QByteArray& fileName)>& concerns,
                        const std::function<bool(const QString& path)>& readableAsAudio);

// The same for the leftovers in `folders` (the temporary folders of saves) that name their file by
// saveLeftoverFileAttribute, for files whose path `concerns` accepts. The visible copies stay in the
// leftover's folder, since the file's own was not writable. Leftovers of other users are never touched,
// here or beside files: in a folder others can write to, theirs could name any file.
QList<SaveRecoveryNote>
recoverInterruptedSavesElsewhere(const QList<QByteArray>& folders,
                                 const std::function<bool(const QString& filePath)>& concerns,
                                 const std::function<bool(const QString& path)>& readableAsAudio);
