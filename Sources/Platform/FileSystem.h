#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QtGlobal>
#include <optional>

// The file operations the rest of the program needs, on locations given as local file URLs
// (QUrl::fromLocalFile). Stateless free functions, safe on any thread; failures are returned, never thrown.
namespace Platform {

enum class DirectoryCheck { yes, no, unknown };

struct DirectoryEntry {
    QUrl location;
    bool isRegularFile = false;
    bool isLink = false; // a symbolic link, whose target isRegularFile tells of
    // False when the path's bytes are not valid UTF-8 (see hasUtf8Name): the location then holds U+FFFD
    // in their place and names no file.
    bool hasUtf8Name = true;
    bool operator==(const DirectoryEntry&) const = default;
};

// Identifies a directory entry's file on its volume: device and inode numbers.
struct FileIdentifier {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentifier&) const = default;
};

// What tells whether a file may have changed since it was looked at: the file
// (device and inode), its size, and its modification and change times, in
// nanoseconds. The change time moves with every write, even when a program
// puts the modification time back.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const FileStamp&) const = default;
    // Whether `later` can be this file after a rename and nothing else: a
    // rename moves the change time only.
    bool isRenamedAs(const FileStamp& later) const {
        return device == later.device && inode == later.inode && size == later.size &&
               modifiedNs == later.modifiedNs;
    }
};

struct FileError {
    int code = 0;        // the errno value behind the failure, 0 when there is none
    QString description; // one sentence the user can read, naming the files involved
};

struct [[nodiscard]] FileResult {
    std::optional<FileError> error; // absent on success
    bool ok() const { return !error.has_value(); }
};

// Whether a path's bytes are valid UTF-8, so that they survive a QString or QUrl unchanged. On Linux a name
// is any bytes; libraries copied from older systems hold Latin-1 names, which no location can reach.
bool hasUtf8Name(const QByteArray& path);

// Whether the location is a folder, following symbolic links; unknown when it cannot be examined (missing,
// dangling link, no permission), which callers treat like a file.
DirectoryCheck isDirectory(const QUrl& location);

// Every entry below the folder (hidden ones included) in the file system's order, parents before their
// contents. Folders that cannot be read are listed but not entered, entries that cannot be examined are
// left out, and symbolic links are listed but never entered, so link loops end. isRegularFile is true for
// regular files and for links to regular files (whose canonical location then names the file itself).
// Below a canonical folder, the location of every entry that is no link is canonical too.
QList<DirectoryEntry> enumerateRecursively(const QUrl& folder);

// What walkRecursively tells as it goes. Depths count from the folder walked (0).
class DirectoryVisitor {
public:
    virtual ~DirectoryVisitor() = default;
    // A folder's own entries follow (a readable folder's or not).
    virtual void enterFolder(const QUrl& folder, int depth) = 0;
    // Every entry enumerateRecursively lists, in its order; a folder's before enterFolder.
    virtual void visit(const DirectoryEntry& entry, int depth) = 0;
    // Every entry below the folder has been visited.
    virtual void leaveFolder(const QUrl& folder, int depth) = 0;
    // Asked between entries: true ends the walk there.
    virtual bool stopped() const { return false; }
};

// The walk of enumerateRecursively, told entry by entry as the file system gives them, so that a caller can
// use a large folder's first entries while the rest are being listed.
void walkRecursively(const QUrl& folder, DirectoryVisitor& visitor);

// The absolute location with every symbolic link resolved and "." and ".." removed; names below the longest
// existing part of the path are kept as written. Two locations of one file give equal results.
QUrl canonicalLocation(const QUrl& location);

// The location with "." and ".." components and repeated slashes removed as text; links are left alone.
QUrl standardizedLocation(const QUrl& location);

// Whether anything occupies the location's name, a dangling symbolic link included: a move onto it would
// fail.
bool exists(const QUrl& location);

// Moves one entry (a link itself, not its target) in a single atomic step that fails instead of replacing
// anything at the destination, even when another process takes the name at the same moment. On failure both
// places are as before. Moves between volumes fail (EXDEV) rather than copying.
FileResult moveItem(const QUrl& from, const QUrl& to);

// The identity of the entry at the location itself (links not followed, as moves act on links themselves):
// equal for two names of one file, such as hard links or spellings a case-insensitive volume treats alike.
std::optional<FileIdentifier> resourceIdentifier(const QUrl& location);

// The stamp of the file at the location, links followed; none when it cannot be examined.
std::optional<FileStamp> fileStamp(const QUrl& location);

// Creates the file, or replaces an existing one of that name, through a temporary file in the same folder
// renamed over it: readers see the old or the new bytes, never a half-written file. A link is written
// through.
FileResult writeReplacing(const QByteArray& bytes, const QUrl& location);

// Bytes an unprivileged writer may still use on the file system holding the
// location; none when that cannot be told.
std::optional<qint64> availableSpace(const QUrl& location);

// Whether two paths are the same text once letter case (full folding: ß matches SS) and diacritical marks are
// ignored; the fallback of the same-file test when identifiers cannot be read.
bool pathsEqualIgnoringCaseAndDiacritics(const QString& a, const QString& b);

// The file or folder name: the last path component, trailing slashes ignored.
QString lastPathComponent(const QUrl& location);

// The text after the last "." of the name, empty when there is none. A leading dot marks a hidden name rather
// than an extension, so ".profile" has none. The name is always lastComponentWithoutExtension, then "." and
// the extension when it is not empty.
QString pathExtension(const QUrl& location);

// The name without "." and its extension.
QString lastComponentWithoutExtension(const QUrl& location);

// The enclosing folder ("/" stays "/").
QUrl deletingLastPathComponent(const QUrl& location);

// The location of the name inside the folder.
QUrl appendingPathComponent(const QUrl& folder, const QString& name);

// The local path in the file system's encoding, NUL-terminated through constData(), for C interfaces; absent
// for non-local locations and for paths containing NUL, which a C interface would silently cut short.
std::optional<QByteArray> fileSystemPath(const QUrl& location);

namespace Detail {
// moveItem's fallback for file systems without an atomic no-replace rename: link to the new name (which fails
// when it is taken), then unlink the old one. Exposed so tests can exercise it on any file system.
FileResult moveByLinking(const QUrl& from, const QUrl& to);
} // namespace Detail

} // namespace Platform
