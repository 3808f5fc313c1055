#include "QuireCore/SafeFileReplacement.h"

#include "QuireCore/FileDescriptor.h"
#include "QuireCore/SaveRecovery.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Reason = SaveFailure::Reason;

std::atomic<void (*)(SaveStep, const QByteArray&)> stepHook{nullptr};

void reachStep(SaveStep step, const QByteArray& originalPath) {
    if (auto hook = stepHook.load())
        hook(step, originalPath);
}

QString text(const QByteArray& path) {
    return QFile::decodeName(path);
}

SaveFailure failure(Reason reason, int code, const QString& what) {
    QString description = what;
    if (code != 0)
        description += QStringLiteral(": ") + QString::fromStdString(std::generic_category().message(code));
    return {reason, code, description, {}};
}

struct Folder {
    FileDescriptor fd;
    QByteArray path;
    QByteArray pathOf(const QByteArray& name) const { return (path == "/" ? path : path + '/') + name; }
};

std::optional<Folder> openFolder(const QByteArray& path) {
    FileDescriptor fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    return Folder{std::move(fd), path};
}

// A file the save made beside the original. Removed again unless released (after it was renamed, or when a
// backup must survive). It stays locked (flock) while it exists, so that the recovery of another process
// can tell it from the leftover of a save that died.
class HiddenFile {
public:
    HiddenFile(const Folder& folder, QByteArray name, FileDescriptor fd)
        : m_folder(&folder)
        , m_name(std::move(name))
        , m_fd(std::move(fd))
        , m_lock(::fcntl(m_fd.get(), F_DUPFD_CLOEXEC, 0)) {
        if (m_lock.valid())
            ::flock(m_lock.get(), LOCK_EX | LOCK_NB);
    }
    HiddenFile(HiddenFile&& other) noexcept
        : m_folder(other.m_folder)
        , m_name(std::exchange(other.m_name, {}))
        , m_fd(std::move(other.m_fd))
        , m_lock(std::move(other.m_lock)) {}
    HiddenFile& operator=(HiddenFile&&) = delete;
    ~HiddenFile() {
        if (!m_name.isEmpty())
            ::unlinkat(m_folder->fd.get(), m_name.constData(), 0);
    }

    const Folder& folder() const { return *m_folder; }
    const QByteArray& name() const { return m_name; }
    QByteArray path() const { return m_folder->pathOf(m_name); }
    int fd() const { return m_fd.get(); }
    void setDescriptor(FileDescriptor fd) { m_fd = std::move(fd); }
    // Locks the file anew through fd, for when a writer replaced it under its name.
    void lockAgain(int fd) {
        m_lock = FileDescriptor(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
        if (m_lock.valid())
            ::flock(m_lock.get(), LOCK_EX | LOCK_NB);
    }
    void release() { m_name.clear(); }
    // Gives the file another name, never replacing an entry that has it. Returns 0 or the errno value.
    int rename(QByteArray name) {
        if (const int error = renameWithoutReplacing(m_folder->fd.get(), m_name, name))
            return error;
        m_name = std::move(name);
        return 0;
    }

private:
    const Folder* m_folder;
    QByteArray m_name;
    FileDescriptor m_fd;
    FileDescriptor m_lock;
};

// A leftover away from its file names it, so that the recovery can find the file after a crash. A file
// system without user attributes leaves the leftover unnamed: the save goes on as before.
void nameFileOf(int leftover, const QByteArray& filePath) {
    ::fsetxattr(leftover, saveLeftoverFileAttribute, filePath.constData(), size_t(filePath.size()), 0);
}

Result<HiddenFile, int> createHidden(const Folder& folder, const QByteArray& name, SaveLeftover::Kind kind) {
    for (int attempt = 0;; ++attempt) {
        QByteArray hidden = saveLeftoverName(name, kind, QRandomGenerator::system()->generate());
        FileDescriptor fd(retryingInterrupts([&] {
            return ::openat(folder.fd.get(), hidden.constData(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        }));
        if (fd.valid())
            return HiddenFile(folder, std::move(hidden), std::move(fd));
        if (errno != EEXIST || attempt == 20)
            return errno;
    }
}

int writeAll(int fd, const char* data, size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t written = retryingInterrupts([&] { return ::pwrite(fd, data, size, offset); });
        if (written < 0)
            return errno;
        data += written;
        size -= size_t(written);
        offset += written;
    }
    return 0;
}

// Copies the first size bytes of one file over the start of another: in the kernel where it can, else through
// a buffer. Returns 0 or the errno value; a source shorter than size is EIO.
int copyBytes(int from, int to, off_t size) {
    bool inKernel = true;
    std::vector<char> buffer;
    off_t done = 0;
    while (done < size) {
        const size_t chunk = size_t(std::min<off_t>(size - done, off_t(1) << 30));
        ssize_t copied = 0;
        if (inKernel) {
            loff_t in = done, out = done;
            copied = retryingInterrupts([&] { return ::copy_file_range(from, &in, to, &out, chunk, 0); });
            if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                inKernel = false;
                continue;
            }
        } else {
            buffer.resize(size_t(1) << 20);
            copied = retryingInterrupts(
                [&] { return ::pread(from, buffer.data(), std::min(chunk, buffer.size()), done); });
            if (copied > 0) {
                if (const int error = writeAll(to, buffer.data(), size_t(copied), done))
                    return error;
            }
        }
        if (copied < 0)
            return errno;
        if (copied == 0)
            return EIO;
        done += copied;
    }
    return 0;
}

// Fills an empty file with the content of another. Returns 0 or the errno value.
int cloneOrCopy(int from, int to, off_t size, bool* cloned) {
    *cloned = ::ioctl(to, FICLONE, from) == 0;
    return *cloned ? 0 : copyBytes(from, to, size);
}

// Makes an existing file hold exactly size bytes of another, keeping its inode, and flushes it.
int overwrite(int from, off_t size, int to) {
    struct stat target {};
    if (::fstat(to, &target) != 0)
        return errno;
    // A clone that ends at the source's unaligned end must reach the target's end too.
    if (target.st_size > size && ::ftruncate(to, size) != 0)
        return errno;
    if (::ioctl(to, FICLONE, from) != 0) {
        // Claim the space first, so that a full file system fails before the old bytes are overwritten.
        if (size > target.st_size && ::fallocate(to, 0, 0, size) != 0 && errno != EOPNOTSUPP &&
            errno != ENOSYS)
            return errno;
        if (const int error = copyBytes(from, to, size))
            return error;
    }
    return retryingInterrupts([&] { return ::fsync(to); }) == 0 ? 0 : errno;
}

std::optional<std::vector<QByteArray>> attributeNames(int fd) {
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::make_optional(std::vector<QByteArray>()) : std::nullopt;
        QByteArray list(size, '\0');
        const ssize_t listed = ::flistxattr(fd, list.data(), size_t(list.size()));
        if (listed < 0 && errno == ERANGE)
            continue; // grew meanwhile
        if (listed < 0)
            return std::nullopt;
        std::vector<QByteArray> names;
        for (const QByteArray& name : list.left(listed).split('\0')) {
            if (!name.isEmpty())
                names.push_back(name);
        }
        return names;
    }
}

std::optional<QByteArray> attributeValue(int fd, const QByteArray& name) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0)
            return std::nullopt;
        QByteArray value(size, '\0');
        const ssize_t read = ::fgetxattr(fd, name.constData(), value.data(), size_t(value.size()));
        if (read < 0 && errno == ERANGE)
            continue;
        if (read < 0)
            return std::nullopt;
        value.truncate(read);
        return value;
    }
}

// Makes the copy's extended attributes (ACLs and security labels among them) equal to the original's.
bool copyExtendedAttributes(int original, int copy) {
    const std::optional<std::vector<QByteArray>> names = attributeNames(original);
    const std::optional<std::vector<QByteArray>> present = attributeNames(copy);
    if (!names || !present)
        return false;
    // A new file may have inherited a default ACL or label the original does not have.
    for (const QByteArray& name : *present) {
        if (std::find(names->begin(), names->end(), name) == names->end() &&
            ::fremovexattr(copy, name.constData()) != 0)
            return false;
    }
    for (const QByteArray& name : *names) {
        const std::optional<QByteArray> value = attributeValue(original, name);
        if (!value)
            return false;
        if (attributeValue(copy, name) == value)
            continue; // setting an equal label may still need a privilege
        if (::fsetxattr(copy, name.constData(), value->constData(), size_t(value->size()), 0) != 0)
            return false;
    }
    return true;
}

// Gives the new file what a rename would otherwise take from the original: owner, group, mode bits and
// extended attributes. False when any of it could not be carried over.
bool carryIdentity(int original, const struct stat& wanted, int copy) {
    struct stat current {};
    if (::fstat(copy, &current) != 0)
        return false;
    // The owner first: changing it clears set-id bits and file capabilities.
    if ((current.st_uid != wanted.st_uid || current.st_gid != wanted.st_gid) &&
        ::fchown(copy, wanted.st_uid, wanted.st_gid) != 0)
        return false;
    if (::fchmod(copy, wanted.st_mode & 07777) != 0 || !copyExtendedAttributes(original, copy))
        return false;
    // fchmod silently drops a set-group-id bit the process may not set.
    if (::fstat(copy, &current) != 0)
        return false;
    return current.st_uid == wanted.st_uid && current.st_gid == wanted.st_gid &&
           (current.st_mode & 07777) == (wanted.st_mode & 07777);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameContentState(const struct stat& a, const struct stat& b) {
    return sameFile(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Makes the folder's entries durable. Some file systems cannot flush a folder at all; that is no failure.
bool flushFolder(const Folder& folder) {
    return retryingInterrupts([&] { return ::fsync(folder.fd.get()); }) == 0 || errno == EINVAL ||
           errno == EOPNOTSUPP || errno == ENOTSUP;
}

// Where the working copy goes when the file's folder is not writable: a temporary folder, one on the file's
// own file system first so that the copies can be reflinks.
std::vector<Folder> temporaryFolders(dev_t device) {
    std::vector<Folder> folders;
    for (const QByteArray& path : temporarySaveFolders()) {
        std::optional<Folder> folder = openFolder(path);
        struct stat status {};
        if (!folder || ::fstat(folder->fd.get(), &status) != 0)
            continue;
        const bool seen = std::any_of(folders.begin(), folders.end(), [&](const Folder& other) {
            struct stat otherStatus {};
            return ::fstat(other.fd.get(), &otherStatus) == 0 && sameFile(status, otherStatus);
        });
        if (seen)
            continue;
        folders.push_back(std::move(*folder));
    }
    // In their order, those on the file's own file system first.
    std::stable_partition(folders.begin(), folders.end(), [device](const Folder& folder) {
        struct stat status {};
        return ::fstat(folder.fd.get(), &status) == 0 && status.st_dev == device;
    });
    return folders;
}

// The original's state once its content is about to be replaced: unchanged since the save began, and still
// the file under its name.
std::optional<SaveFailure> checkUnchanged(const Folder& folder, const QByteArray& name, int original,
                                          const struct stat& before) {
    struct stat now {};
    struct stat named {};
    if (::fstat(original, &now) != 0 ||
        ::fstatat(folder.fd.get(), name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameContentState(before, now) || !sameFile(before, named))
        return failure(Reason::changedMeanwhile, 0,
                       QStringLiteral("%1 was changed by another program during the save")
                           .arg(text(folder.pathOf(name))));
    return std::nullopt;
}

// Copies the verified working copy into the original's own inode, behind a flushed backup. The backup is
// filled under a working copy's name and renamed once complete, so that a backup left by a crash is always
// whole; it takes the working copy's id, so that the recovery finds the flushed new content beside it.
std::optional<SaveFailure> rewriteInPlace(int original, const struct stat& before,
                                          const QByteArray& originalPath, const Folder& backupFolder,
                                          bool backupBesideFile, const QByteArray& name, int work,
                                          quint32 id) {
    struct stat workStatus {};
    if (::fstat(work, &workStatus) != 0)
        return failure(Reason::finishFailed, errno, QStringLiteral("Cannot examine the working copy"));

    Result<HiddenFile, int> created = createHidden(backupFolder, name, SaveLeftover::Kind::workingCopy);
    if (!created)
        return failure(Reason::noWorkingCopy, created.error(),
                       QStringLiteral("Cannot make a backup of %1 in %2")
                           .arg(text(originalPath), text(backupFolder.path)));
    HiddenFile backup = std::move(created).value();
    if (!backupBesideFile)
        nameFileOf(backup.fd(), originalPath);
    bool cloned = false; // either will do
    if (int error = cloneOrCopy(original, backup.fd(), before.st_size, &cloned);
        error != 0 || retryingInterrupts([&] { return ::fsync(backup.fd()); }) != 0)
        return failure(Reason::noWorkingCopy, error != 0 ? error : errno,
                       QStringLiteral("Cannot make a backup of %1").arg(text(originalPath)));
    reachStep(SaveStep::backupCopied, originalPath);
    if (const int error = backup.rename(saveLeftoverName(name, SaveLeftover::Kind::backup, id));
        error != 0 || !flushFolder(backupFolder))
        return failure(Reason::noWorkingCopy, error != 0 ? error : errno,
                       QStringLiteral("Cannot make a backup of %1").arg(text(originalPath)));
    reachStep(SaveStep::backupReady, originalPath);

    const int error = overwrite(work, workStatus.st_size, original);
    if (error == 0) {
        reachStep(SaveStep::originalRewritten, originalPath);
        return std::nullopt; // the backup goes with its guard
    }

    SaveFailure failed =
        failure(Reason::finishFailed, error,
                QStringLiteral("Cannot write the new content into %1").arg(text(originalPath)));
    if (const int restoreError = overwrite(backup.fd(), before.st_size, original)) {
        failed.reason = Reason::notRestored;
        failed.backupPath = text(backup.path());
        failed.description += QStringLiteral("; restoring it failed too (%1), its old content is kept in %2")
                                  .arg(QString::fromStdString(std::generic_category().message(restoreError)),
                                       failed.backupPath);
        backup.release();
    } else {
        // Back to the old bytes, and to the old modification time, so that nothing takes it for changed.
        const timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
        ::futimens(original, times);
    }
    return failed;
}

} // namespace

ReplacementResult
replaceFileSafely(const QString& path,
                  const std::function<bool(const QByteArray& workingCopyPath)>& writeAndVerify) {
    const QByteArray requested = QFile::encodeName(path);
    if (requested.isEmpty() || requested.contains('\0'))
        return failure(Reason::notRegularFile, ENOENT, QStringLiteral("No file at %1").arg(path));
    // Saving through a symbolic link replaces its target; the link stays.
    char* resolvedBytes = ::realpath(requested.constData(), nullptr);
    if (!resolvedBytes)
        return failure(Reason::notRegularFile, errno, QStringLiteral("Cannot find %1").arg(path));
    const QByteArray resolved(resolvedBytes);
    std::free(resolvedBytes);
    const qsizetype slash = resolved.lastIndexOf('/');
    const QByteArray name = resolved.mid(slash + 1);
    std::optional<Folder> folder = openFolder(slash == 0 ? QByteArray("/") : resolved.left(slash));
    if (name.isEmpty() || !folder)
        return failure(Reason::notRegularFile, name.isEmpty() ? EISDIR : errno,
                       QStringLiteral("Cannot open %1").arg(text(resolved)));

    struct stat before {};
    if (::fstatat(folder->fd.get(), name.constData(), &before, AT_SYMLINK_NOFOLLOW) != 0)
        return failure(Reason::notRegularFile, errno,
                       QStringLiteral("Cannot examine %1").arg(text(resolved)));
    if (!S_ISREG(before.st_mode))
        return failure(Reason::notRegularFile, 0,
                       QStringLiteral("%1 is not a regular file").arg(text(resolved)));
    // Opening for writing asks the kernel itself (permissions, ACLs, immutable flags, read-only mounts);
    // access() would answer for the real rather than the effective user. O_NONBLOCK: should a pipe have
    // taken the name meanwhile, opening it must not hang.
    FileDescriptor original(retryingInterrupts([&] {
        return ::openat(folder->fd.get(), name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }));
    if (!original.valid())
        return failure(Reason::notWritable, errno, QStringLiteral("Cannot write %1").arg(text(resolved)));
    struct stat opened {};
    if (::fstat(original.get(), &opened) != 0 || !sameFile(before, opened) || !S_ISREG(opened.st_mode))
        return failure(Reason::changedMeanwhile, 0,
                       QStringLiteral("%1 was replaced during the save").arg(text(resolved)));
    before = opened;
    // Root may open anything; mode bits that let nobody write still mean "read-only".
    if ((before.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return failure(Reason::notWritable, EACCES, QStringLiteral("%1 is read-only").arg(text(resolved)));

    ReplacementReport report;
    report.replacedPath = resolved;

    // The working copy: beside the original, or in a temporary folder when the folder is not writable.
    std::vector<Folder> elsewhere;
    const Folder* workFolder = nullptr;
    std::optional<HiddenFile> work;
    int workError = 0;
    auto createWorkingCopy = [&](const Folder& in) {
        Result<HiddenFile, int> created = createHidden(in, name, SaveLeftover::Kind::workingCopy);
        if (!created) {
            workError = created.error();
            return false;
        }
        work.emplace(std::move(created).value());
        workFolder = &in;
        return true;
    };
    if (!createWorkingCopy(*folder) && (workError == EACCES || workError == EPERM || workError == EROFS)) {
        report.workingCopyInFolder = false;
        elsewhere = temporaryFolders(before.st_dev);
        for (const Folder& candidate : elsewhere) {
            if (createWorkingCopy(candidate))
                break;
        }
        if (work)
            nameFileOf(work->fd(), resolved);
    }
    if (!work)
        return failure(Reason::noWorkingCopy, workError,
                       QStringLiteral("Cannot make a working copy of %1").arg(text(resolved)));
    if (const int error = cloneOrCopy(original.get(), work->fd(), before.st_size, &report.workingCopyCloned))
        return failure(Reason::noWorkingCopy, error,
                       QStringLiteral("Cannot copy %1 to %2").arg(text(resolved), text(work->path())));
    work->setDescriptor({});
    reachStep(SaveStep::workingCopyMade, resolved);

    if (!writeAndVerify(work->path()))
        return failure(Reason::writeStepFailed, 0,
                       QStringLiteral("Writing the working copy of %1 failed").arg(text(resolved)));

    // The step wrote through its own descriptors; reopen, in case it replaced the file.
    FileDescriptor written(retryingInterrupts([&] {
        return ::openat(workFolder->fd.get(), work->name().constData(),
                        O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }));
    struct stat writtenStatus {};
    if (!written.valid() || ::fstat(written.get(), &writtenStatus) != 0 || !S_ISREG(writtenStatus.st_mode))
        return failure(Reason::writeStepFailed, written.valid() ? 0 : errno,
                       QStringLiteral("The working copy of %1 is gone").arg(text(resolved)));
    work->lockAgain(written.get());
    if (auto changed = checkUnchanged(*folder, name, original.get(), before))
        return *changed;
    reachStep(SaveStep::workingCopyWritten, resolved);
    const auto flushWorkingCopy = [&]() -> std::optional<SaveFailure> {
        if (retryingInterrupts([&] { return ::fsync(written.get()); }) != 0)
            return failure(Reason::finishFailed, errno,
                           QStringLiteral("Cannot flush %1").arg(text(work->path())));
        return std::nullopt;
    };

    const bool renaming = before.st_nlink == 1 && report.workingCopyInFolder &&
                          carryIdentity(original.get(), before, written.get());
    if (!renaming) {
        report.method = ReplacementMethod::rewrittenInPlace;
        // After a crash, the file is judged against the new content beside its backup.
        if (auto failed = flushWorkingCopy())
            return *failed;
        const quint32 id = parseSaveLeftoverName(work->name()).value_or(SaveLeftover{}).id;
        if (auto failed = rewriteInPlace(original.get(), before, resolved, *workFolder,
                                         report.workingCopyInFolder, name, written.get(), id))
            return *failed;
        return report;
    }

    if (auto failed = flushWorkingCopy())
        return *failed;
    if (auto changed = checkUnchanged(*folder, name, original.get(), before))
        return *changed;
    if (::renameat(folder->fd.get(), work->name().constData(), folder->fd.get(), name.constData()) != 0)
        return failure(Reason::finishFailed, errno,
                       QStringLiteral("Cannot rename %1 to %2").arg(text(work->path()), text(resolved)));
    work->release();
    reachStep(SaveStep::renamed, resolved);
    // The new file is in place either way; a folder that cannot be flushed does not make the save fail after
    // the fact.
    flushFolder(*folder);
    return report;
}

void setSaveStepHookForTesting(void (*hook)(SaveStep step, const QByteArray& originalPath)) {
    stepHook = hook;
}

QList<QByteArray> temporarySaveFolders() {
    return {QFile::encodeName(QDir::tempPath()), QByteArray("/var/tmp"), QByteArray("/tmp")};
}
