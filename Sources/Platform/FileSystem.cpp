#include "Platform/FileSystem.h"
#include "Platform/TextFolding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace Platform {

namespace {

QString pathOf(const QUrl& location) {
    return location.isLocalFile() ? location.toLocalFile() : location.path(QUrl::FullyDecoded);
}

QUrl withPath(const QUrl& location, const QString& path) {
    if (location.isLocalFile() || location.isEmpty())
        return QUrl::fromLocalFile(path);
    QUrl result = location;
    result.setPath(path, QUrl::DecodedMode);
    return result;
}

QString withoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// A path for C interfaces; absent when it would be cut short at an embedded NUL.
std::optional<QByteArray> encodedPath(const QString& path) {
    QByteArray encoded = QFile::encodeName(path);
    if (encoded.isEmpty() || encoded.contains('\0'))
        return std::nullopt;
    return encoded;
}

QString describe(int code) {
    return QString::fromStdString(std::generic_category().message(code));
}

FileResult failure(int code, QString description) {
    return {FileError{code, std::move(description)}};
}

FileResult moveFailure(int code, const QUrl& from, const QUrl& to) {
    const QString source = pathOf(from), target = pathOf(to);
    if (code == EEXIST || code == ENOTEMPTY)
        return failure(code,
                       QCoreApplication::translate("Platform", "“%1” couldn’t be moved to “%2” because an "
                                                               "item with that name already exists.")
                           .arg(source, target));
    if (code == EXDEV)
        return failure(code, QCoreApplication::translate("Platform", "“%1” couldn’t be moved to “%2” because "
                                                                     "they are on different volumes.")
                                 .arg(source, target));
    return failure(code, QCoreApplication::translate("Platform", "“%1” couldn’t be moved to “%2”: %3.")
                             .arg(source, target, describe(code)));
}

int renameNoReplace(const char* from, const char* to) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#elif defined(SYS_renameat2)
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}

std::optional<struct stat> statOf(const QUrl& location, bool followLinks) {
    const auto path = fileSystemPath(location);
    struct stat status {};
    if (!path ||
        (followLinks ? ::stat(path->constData(), &status) : ::lstat(path->constData(), &status)) != 0)
        return std::nullopt;
    return status;
}

QString absolutePath(const QString& path) {
    return QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path;
}

std::optional<QString> realPath(const QString& path) {
    const auto native = encodedPath(path);
    char* resolved = native ? ::realpath(native->constData(), nullptr) : nullptr;
    if (!resolved)
        return std::nullopt;
    const QString result = QFile::decodeName(resolved);
    std::free(resolved);
    return result;
}

// The kernel resolves the longest prefix that exists; the names below it are no links (they do not exist),
// so they are cleaned as text.
QString resolvedPath(const QString& path) {
    QString prefix = absolutePath(path);
    QString rest;
    while (true) {
        if (const auto real = realPath(prefix))
            return QDir::cleanPath(rest.isEmpty() ? *real : *real + u'/' + rest);
        const qsizetype slash = prefix.lastIndexOf(u'/');
        if (prefix == u"/" || slash < 0)
            return QDir::cleanPath(absolutePath(path));
        rest = rest.isEmpty() ? prefix.mid(slash + 1) : prefix.mid(slash + 1) + u'/' + rest;
        prefix = slash == 0 ? QStringLiteral("/") : prefix.left(slash);
    }
}

bool isRegularFileEntry(const FTSENT* entry) {
    if (entry->fts_info == FTS_F)
        return true;
    struct stat target {};
    return entry->fts_info == FTS_SL && ::stat(entry->fts_accpath, &target) == 0 && S_ISREG(target.st_mode);
}

} // namespace

DirectoryCheck isDirectory(const QUrl& location) {
    const auto status = statOf(location, true);
    if (!status)
        return DirectoryCheck::unknown;
    return S_ISDIR(status->st_mode) ? DirectoryCheck::yes : DirectoryCheck::no;
}

bool hasUtf8Name(const QByteArray& path) {
    return QFile::encodeName(QFile::decodeName(path)) == path;
}

void walkRecursively(const QUrl& folder, DirectoryVisitor& visitor) {
    auto root = fileSystemPath(folder);
    if (!root)
        return;
    char* const roots[] = {root->data(), nullptr};
    // FTS_PHYSICAL never enters linked folders; FTS_NOCHDIR keeps the process's working folder alone.
    FTS* walk = ::fts_open(roots, FTS_PHYSICAL | FTS_COMFOLLOW | FTS_NOCHDIR, nullptr);
    if (!walk)
        return;
    const auto location = [](const FTSENT* entry) {
        return QUrl::fromLocalFile(QFile::decodeName(QByteArray(entry->fts_path)));
    };
    while (!visitor.stopped()) {
        const FTSENT* entry = ::fts_read(walk);
        if (!entry)
            break;
        // A folder comes as FTS_D before its contents, then as FTS_DP after them, or as FTS_DNR when it
        // could not be read. FTS_NS and FTS_ERR are entries that cannot be examined.
        const int info = entry->fts_info, depth = int(entry->fts_level);
        if (info == FTS_DP || info == FTS_DNR) {
            visitor.leaveFolder(location(entry), depth);
            continue;
        }
        if (info == FTS_NS || info == FTS_ERR)
            continue;
        if (depth > 0) {
            const QByteArray path(entry->fts_path);
            visitor.visit({QUrl::fromLocalFile(QFile::decodeName(path)), isRegularFileEntry(entry),
                           info == FTS_SL || info == FTS_SLNONE, hasUtf8Name(path)},
                          depth);
        }
        if (info == FTS_D)
            visitor.enterFolder(location(entry), depth);
    }
    ::fts_close(walk);
}

QList<DirectoryEntry> enumerateRecursively(const QUrl& folder) {
    struct Listing : DirectoryVisitor {
        void enterFolder(const QUrl&, int) override {}
        void visit(const DirectoryEntry& entry, int) override { entries.append(entry); }
        void leaveFolder(const QUrl&, int) override {}
        QList<DirectoryEntry> entries;
    } listing;
    walkRecursively(folder, listing);
    return std::move(listing.entries);
}

QUrl canonicalLocation(const QUrl& location) {
    if (!location.isLocalFile())
        return standardizedLocation(location);
    return QUrl::fromLocalFile(resolvedPath(location.toLocalFile()));
}

QUrl standardizedLocation(const QUrl& location) {
    const QString path = pathOf(location);
    return path.isEmpty() ? location : withPath(location, QDir::cleanPath(path));
}

bool exists(const QUrl& location) {
    return statOf(location, false).has_value();
}

FileResult moveItem(const QUrl& from, const QUrl& to) {
    const auto source = fileSystemPath(from), target = fileSystemPath(to);
    if (!source || !target)
        return moveFailure(EINVAL, from, to);
    if (renameNoReplace(source->constData(), target->constData()) == 0)
        return {};
    const int code = errno;
    // EINVAL: this file system cannot rename without replacing; ENOSYS: neither can this kernel.
    if (code == EINVAL || code == ENOSYS)
        return Detail::moveByLinking(from, to);
    return moveFailure(code, from, to);
}

std::optional<FileIdentifier> resourceIdentifier(const QUrl& location) {
    const auto status = statOf(location, false);
    if (!status)
        return std::nullopt;
    return FileIdentifier{static_cast<quint64>(status->st_dev), static_cast<quint64>(status->st_ino)};
}

std::optional<FileStamp> fileStamp(const QUrl& location) {
    const auto status = statOf(location, true);
    if (!status)
        return std::nullopt;
    const auto nanoseconds = [](const timespec& time) {
        return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return FileStamp{static_cast<quint64>(status->st_dev), static_cast<quint64>(status->st_ino),
                     static_cast<qint64>(status->st_size), nanoseconds(status->st_mtim),
                     nanoseconds(status->st_ctim)};
}

FileResult writeReplacing(const QByteArray& bytes, const QUrl& location) {
    if (!fileSystemPath(location))
        return failure(EINVAL, QCoreApplication::translate("Platform", "“%1” is not a valid file location.")
                                   .arg(location.toString()));
    // QSaveFile writes a temporary file beside the target, flushes it to disk and renames it over the target.
    QSaveFile file(location.toLocalFile());
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return {};
    return failure(0, QCoreApplication::translate("Platform", "“%1” couldn’t be written: %2.")
                          .arg(location.toLocalFile(), file.errorString()));
}

std::optional<qint64> availableSpace(const QUrl& location) {
    const auto path = fileSystemPath(location);
    struct statvfs status {};
    if (!path || ::statvfs(path->constData(), &status) != 0)
        return std::nullopt;
    return static_cast<qint64>(status.f_bavail) * static_cast<qint64>(status.f_frsize);
}

bool pathsEqualIgnoringCaseAndDiacritics(const QString& a, const QString& b) {
    const auto foldedA = foldedCaseAndMarks(a), foldedB = foldedCaseAndMarks(b);
    return foldedA && foldedB ? *foldedA == *foldedB : a == b;
}

QString lastPathComponent(const QUrl& location) {
    const QString path = withoutTrailingSlashes(pathOf(location));
    return path == u"/" ? path : path.mid(path.lastIndexOf(u'/') + 1);
}

QString pathExtension(const QUrl& location) {
    const QString name = lastPathComponent(location);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString lastComponentWithoutExtension(const QUrl& location) {
    const QString name = lastPathComponent(location);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && dot < name.size() - 1 ? name.left(dot) : name;
}

QUrl deletingLastPathComponent(const QUrl& location) {
    const QString path = withoutTrailingSlashes(pathOf(location));
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return withPath(location, QStringLiteral("."));
    return withPath(location, slash == 0 ? QStringLiteral("/") : path.left(slash));
}

QUrl appendingPathComponent(const QUrl& folder, const QString& name) {
    const QString path = pathOf(folder);
    return withPath(folder, path.endsWith(u'/') ? path + name : path + u'/' + name);
}

std::optional<QByteArray> fileSystemPath(const QUrl& location) {
    if (!location.isLocalFile())
        return std::nullopt;
    return encodedPath(location.toLocalFile());
}

namespace Detail {

FileResult moveByLinking(const QUrl& from, const QUrl& to) {
    const auto source = fileSystemPath(from), target = fileSystemPath(to);
    if (!source || !target)
        return moveFailure(EINVAL, from, to);
    // linkat without AT_SYMLINK_FOLLOW links a symbolic link itself, as rename would move it.
    if (::linkat(AT_FDCWD, source->constData(), AT_FDCWD, target->constData(), 0) != 0)
        return moveFailure(errno, from, to);
    if (::unlink(source->constData()) != 0) {
        const int code = errno;
        (void)::unlink(target->constData()); // the link made above: remove it, the original stays
        return moveFailure(code, from, to);
    }
    return {};
}

} // namespace Detail

} // namespace Platform
