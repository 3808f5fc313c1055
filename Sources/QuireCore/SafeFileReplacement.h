#pragma once

#include "QuireCore/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// All-or-nothing replacement of one file's content, for writers (TagLib) that change files in place, shift
// the audio as a tag grows and do not notice failed writes. The writer works on a hidden working copy; the
// original changes only once the copy is complete, verified and flushed.
//
// How the new content reaches the original:
// - Normally the working copy, made in the file's own folder, receives the original's owner, group,
//   permission bits and extended attributes (ACLs and security labels included) and is renamed over the
//   original. Readers see the old or the new file, never a mixture; a crash before the rename leaves the
//   original as it was (and possibly a hidden ".<name>.<id>.cadenza-save" file beside it).
// - The original keeps its inode and receives the new bytes in place when renaming would lose something:
//   the file has several hard links (all names must see the new content), the new file could not be given
//   the original's owner, group or every extended attribute (say, a file of another user saved through
//   group write permission), or the folder is not writable. Before the first byte of the original changes,
//   a backup of its content (".<name>.<id>.cadenza-backup", a reflink where possible) is flushed to disk; any
//   failure copies it back. A power loss while the new bytes are copied in can leave the original half
//   written: the complete old content is then the backup beside it, the only case where one is left behind.
// - When the folder is not writable the working copy and backup go to the temporary folder ($TMPDIR,
//   /var/tmp or /tmp, one on the file's own file system first), so a file that could be written in place
//   before can still be saved; only a power loss then leaves the backup there instead of beside the file.
//   There both name the file they belong to (saveLeftoverFileAttribute), where the file system can.
// - A backup exists under its name only once it is complete and flushed, and the working copy beside it
//   holds the flushed new content; both stay locked (flock) while the save runs. recoverInterruptedSaves
//   (SaveRecovery.h) relies on this to put things right after a crash.
//
// Copies are reflinks (FICLONE) where the file system shares blocks, full copies (copy_file_range, then
// read/write) elsewhere; every write, flush and truncation is checked, so a full file system fails the save.

enum class ReplacementMethod {
    renamed,          // a new file took the original's name
    rewrittenInPlace, // the original file, its inode and every name of it, holds the new bytes
};

struct ReplacementReport {
    ReplacementMethod method = ReplacementMethod::renamed;
    bool workingCopyCloned = false;  // the working copy was a reflink, not a full copy
    bool workingCopyInFolder = true; // false when the folder was not writable
    QByteArray replacedPath;         // the file that was replaced, symbolic links resolved
};

struct SaveFailure {
    enum class Reason {
        notRegularFile,   // missing, a folder, a device, a pipe...
        notWritable,      // no write permission, read-only mode bits, immutable, read-only mount
        noWorkingCopy,    // the working copy or the backup could not be made (no space, I/O error)
        writeStepFailed,  // the caller's write-and-verify step returned false
        changedMeanwhile, // another program changed or replaced the file during the save
        finishFailed, // flushing, renaming or copying the new content in failed; the original is as before
        notRestored,  // copying the new content in failed and so did restoring the old: see backupPath
    };
    Reason reason = Reason::finishFailed;
    int code = 0;        // the errno value behind the failure, 0 when there is none
    QString description; // for logs; the user is shown the writer's own message
    QString backupPath;  // only with notRestored: the kept backup holding the complete old content
};

using ReplacementResult = Result<ReplacementReport, SaveFailure>;

// Replaces the content of the file at path (a symbolic link is followed: its target is replaced, the link
// stays) with what writeAndVerify makes of a copy of it. writeAndVerify gets the working copy's path (file
// system encoding, NUL-terminated), changes that file and returns true only when the result is complete and
// correct; false fails the save. On every failure the working copy and any backup are removed and the
// original is left byte for byte as it was, with its inode and attributes (except notRestored).
//
// Refused before anything is made: anything but a regular file, and a file this process cannot open for
// writing. A file whose permission bits allow nobody to write counts as read-only even for root, who could
// otherwise write it (and a rename would replace it anyway).
//
// Stateless; safe on any thread for different files. The same file must not be saved twice at once.
ReplacementResult
replaceFileSafely(const QString& path,
                  const std::function<bool(const QByteArray& workingCopyPath)>& writeAndVerify);

// Where a save puts its working copy and backup when the file's folder is not writable, in the order tried
// ($TMPDIR or /tmp, /var/tmp, /tmp); the recovery looks there too.
QList<QByteArray> temporarySaveFolders();

// The points of a save a crash could stop it at, in order (rewrittenInPlace or renamed, not both).
enum class SaveStep {
    workingCopyMade,    // the working copy holds the old content
    workingCopyWritten, // ...the new content, verified
    backupCopied,       // in place: the backup is complete but still has a working copy's name
    backupReady,        // in place: the backup has its name; the original is next
    originalRewritten,  // in place: the original holds the new content, the backup is not yet removed
    renamed,            // the working copy took the original's name
};

// For tests only: hook is called at each step on the saving thread (and may end the process there, as a
// crash would). Null, the default, calls nothing.
void setSaveStepHookForTesting(void (*hook)(SaveStep step, const QByteArray& originalPath));
