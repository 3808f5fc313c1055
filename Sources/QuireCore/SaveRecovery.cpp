#include "QuireCore/SaveRecovery.h"

#include "QuireCore/FileDescriptor.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace {

constexpr QByteArrayView kindText(SaveLeftover::Kind kind) {
    return kind == SaveLeftover::Kind::backup ? QByteArrayView("cadenza-backup")
                                              : QByteArrayView("cadenza-save");
}

QString describe(int code) {
    return QString::fromStdString(std::generic_category().message(code));
}

bool isHex(QByteArrayView text) {
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// One folder being recovered: its descriptor and path, and the helpers that act on its entries.
struct Folder {
    FileDescriptor fd;
    QByteArray path;

    QString pathOf(const QByteArray& name) const {
        return QFile::decodeName((path.endsWith('/') ? path : path + '/') + name);
    }
    std::optional<struct stat> status(const QByteArray& name) const {
        struct stat result {};
        if (::fstatat(fd.get(), name.constData(), &result, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        return result;
    }
    FileDescriptor open(const QByteArray& name, int flags, mode_t mode = 0) const {
        return FileDescriptor(retryingInterrupts([&] {
            return ::openat(fd.get(), name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
        }));
    }
    void flush() const {
        retryingInterrupts([&] { return ::fsync(fd.get()); });
    }
};

bool sameContent(int a, int b) {
    struct stat sa {
    }, sb{};
    if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0 || sa.st_size != sb.st_size)
        return false;
    constexpr qsizetype chunk = 1 << 20;
    QByteArray bufferA(chunk, Qt::Uninitialized), bufferB(chunk, Qt::Uninitialized);
    for (off_t offset = 0; offset < sa.st_size;) {
        const ssize_t readA = retryingInterrupts([&] { return ::pread(a, bufferA.data(), chunk, offset); });
        const ssize_t readB = retryingInterrupts([&] { return ::pread(b, bufferB.data(), chunk, offset); });
        if (readA <= 0 || readA != readB || std::memcmp(bufferA.constData(), bufferB.constData(), readA) != 0)
            return false;
        offset += readA;
    }
    return true;
}

// Makes `to` hold exactly the content of `from`, flushed. Returns 0 or the errno value.
int copyContent(int from, int to) {
    struct stat source {};
    if (::fstat(from, &source) != 0 || ::ftruncate(to, source.st_size) != 0)
        return errno;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (off_t offset = 0; offset < source.st_size;) {
        const ssize_t got =
            retryingInterrupts([&] { return ::pread(from, buffer.data(), size_t(buffer.size()), offset); });
        if (got <= 0)
            return got < 0 ? errno : EIO;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = retryingInterrupts(
                [&] { return ::pwrite(to, buffer.constData() + done, size_t(got - done), offset + done); });
            if (put < 0)
                return errno;
            done += put;
        }
        offset += got;
    }
    return retryingInterrupts([&] { return ::fsync(to); }) == 0 ? 0 : errno;
}

// "song.mp3.backup", "song.mp3.backup-2"...: visible, beside the file, and not taken for audio by an import.
QByteArray visibleName(const QByteArray& fileName, const char* label, int attempt) {
    QByteArray suffix = QByteArray(".") + label;
    if (attempt > 1)
        suffix += '-' + QByteArray::number(attempt);
    return fileName.left(NAME_MAX - suffix.size()) + suffix;
}

// A leftover opened and locked, so that no save still runs on it and no other recovery takes it meanwhile.
struct LockedLeftover {
    QByteArray name;
    SaveLeftover leftover;
    FileDescriptor fd;
};

std::optional<LockedLeftover> lockLeftover(const Folder& folder, const QByteArray& name,
                                           const SaveLeftover& leftover) {
    FileDescriptor fd = folder.open(name, O_RDONLY);
    struct stat opened {};
    if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_uid != ::geteuid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    // Still the entry of that name once locked (a finishing save may have renamed or removed it).
    const std::optional<struct stat> named = folder.status(name);
    if (!named || named->st_ino != opened.st_ino || named->st_dev != opened.st_dev)
        return std::nullopt;
    return LockedLeftover{name, leftover, std::move(fd)};
}

class Recovery {
public:
    Recovery(Folder folder, const std::function<bool(const QString&)>& readableAsAudio)
        : m_folder(std::move(folder))
        , m_readable(readableAsAudio) {}
    Recovery(const Recovery&) = delete;
    Recovery& operator=(const Recovery&) = delete;

    // Where the files of the next leftovers are, when not in the leftovers' folder; null: there.
    void setFileFolder(const Folder* files) { m_files = files; }

    // The name of the file a leftover belongs to, when it can be told: its own name, or, when that was cut,
    // the one entry of the folder whose leftover would have this name.
    std::optional<QByteArray> fileOf(const QByteArray& name, const SaveLeftover& leftover,
                                     const std::vector<QByteArray>& entries) const {
        if (saveLeftoverName(leftover.fileName, leftover.kind, leftover.id) == name)
            return leftover.fileName;
        std::optional<QByteArray> found;
        for (const QByteArray& entry : entries) {
            if (entry.startsWith(leftover.fileName) &&
                saveLeftoverName(entry, leftover.kind, leftover.id) == name) {
                if (found)
                    return std::nullopt;
                found = entry;
            }
        }
        return found;
    }

    void recoverBackup(LockedLeftover& backup, const std::optional<QByteArray>& fileName) {
        if (!fileName) {
            keepBackup(backup, backup.leftover.fileName, SaveRecoveryNote::Outcome::keptBoth);
            return;
        }
        const QString filePath = files().pathOf(*fileName);
        const std::optional<struct stat> fileStatus = files().status(*fileName);
        if (!fileStatus) {
            if (backupReadable(backup))
                restoreMissing(backup, *fileName);
            else
                keepBackup(backup, *fileName, SaveRecoveryNote::Outcome::keptBoth);
            return;
        }
        FileDescriptor file =
            S_ISREG(fileStatus->st_mode) ? files().open(*fileName, O_RDWR) : FileDescriptor();
        if (!file.valid()) {
            keepBackup(backup, *fileName, SaveRecoveryNote::Outcome::failed,
                       QStringLiteral("%1 cannot be written").arg(filePath));
            return;
        }
        if (sameContent(file.get(), backup.fd.get())) {
            remove(backup);
            return;
        }
        const QByteArray workName =
            saveLeftoverName(*fileName, SaveLeftover::Kind::workingCopy, backup.leftover.id);
        const FileDescriptor work = m_folder.open(workName, O_RDONLY);
        const bool fileReadable = m_readable(filePath);
        if ((fileReadable && work.valid() && sameContent(file.get(), work.get())) ||
            !backupReadable(backup)) {
            keepBackup(backup, *fileName, SaveRecoveryNote::Outcome::keptBoth);
            return;
        }

        SaveRecoveryNote note{SaveRecoveryNote::Outcome::restored, filePath, {}, {}};
        if (fileReadable) {
            const std::optional<QByteArray> kept = copyToVisible(file.get(), *fileName, "before-restore");
            if (!kept) {
                keepBackup(backup, *fileName, SaveRecoveryNote::Outcome::failed,
                           QStringLiteral("what %1 holds could not be kept").arg(filePath));
                return;
            }
            note.outcome = SaveRecoveryNote::Outcome::restoredKeptCurrent;
            note.keptAs = keptName(*kept);
        }
        if (const int error = copyContent(backup.fd.get(), file.get())) {
            keepBackup(backup, *fileName, SaveRecoveryNote::Outcome::failed,
                       QStringLiteral("%1 could not be written: %2").arg(filePath, describe(error)));
            return;
        }
        remove(backup);
        m_notes.append(note);
    }

    // A working copy never replaced its file (a save that did rename it left none).
    void recoverWorkingCopy(LockedLeftover& work) { remove(work); }

    const Folder& folder() const { return m_folder; }
    QList<SaveRecoveryNote> notes() const { return m_notes; }

private:
    const Folder& files() const { return m_files ? *m_files : m_folder; }
    // Beside the file its name says enough; elsewhere the user needs the whole path.
    QString keptName(const QByteArray& name) const {
        return m_files ? m_folder.pathOf(name) : QFile::decodeName(name);
    }

    bool backupReadable(const LockedLeftover& backup) const {
        return m_readable(m_folder.pathOf(backup.name));
    }

    void remove(const LockedLeftover& leftover) {
        ::unlinkat(m_folder.fd.get(), leftover.name.constData(), 0);
        m_folder.flush();
    }

    void restoreMissing(LockedLeftover& backup, const QByteArray& fileName) {
        const QString filePath = files().pathOf(fileName);
        FileDescriptor file = files().open(fileName, O_WRONLY | O_CREAT | O_EXCL, 0666);
        const int error = file.valid() ? copyContent(backup.fd.get(), file.get()) : errno;
        if (error != 0) {
            if (file.valid())
                ::unlinkat(files().fd.get(), fileName.constData(), 0);
            keepBackup(backup, fileName, SaveRecoveryNote::Outcome::failed,
                       QStringLiteral("%1 could not be made: %2").arg(filePath, describe(error)));
            return;
        }
        files().flush();
        remove(backup);
        m_notes.append({SaveRecoveryNote::Outcome::restored, filePath, {}, {}});
    }

    std::optional<QByteArray> copyToVisible(int from, const QByteArray& fileName, const char* label) {
        for (int attempt = 1; attempt < 100; ++attempt) {
            const QByteArray name = visibleName(fileName, label, attempt);
            FileDescriptor copy = m_folder.open(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
            if (!copy.valid() && errno == EEXIST)
                continue;
            if (!copy.valid())
                return std::nullopt;
            if (copyContent(from, copy.get()) != 0) {
                ::unlinkat(m_folder.fd.get(), name.constData(), 0);
                return std::nullopt;
            }
            m_folder.flush();
            return name;
        }
        return std::nullopt;
    }

    void keepBackup(LockedLeftover& backup, const QByteArray& fileName, SaveRecoveryNote::Outcome outcome,
                    const QString& description = {}) {
        SaveRecoveryNote note{outcome, files().pathOf(fileName), {}, description};
        for (int attempt = 1; attempt < 100; ++attempt) {
            const QByteArray name = visibleName(fileName, "backup", attempt);
            const int error = renameWithoutReplacing(m_folder.fd.get(), backup.name, name);
            if (error == EEXIST)
                continue;
            if (error == 0) {
                m_folder.flush();
                note.keptAs = keptName(name);
            }
            break;
        }
        if (note.keptAs.isEmpty())
            note.outcome = SaveRecoveryNote::Outcome::failed;
        m_notes.append(note);
    }

    Folder m_folder;
    const Folder* m_files = nullptr;
    const std::function<bool(const QString&)>& m_readable;
    QList<SaveRecoveryNote> m_notes;
};

FileDescriptor openFolder(const QByteArray& path) {
    return FileDescriptor(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The folder's entries: our leftovers, and the names of everything else.
bool list(int folder, std::vector<QByteArray>& entries,
          std::vector<std::pair<QByteArray, SaveLeftover>>& leftovers) {
    const int listFd = ::dup(folder);
    DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!listing) {
        if (listFd >= 0)
            ::close(listFd);
        return false;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (std::optional<SaveLeftover> leftover = parseSaveLeftoverName(name))
            leftovers.emplace_back(name, *leftover);
        else
            entries.push_back(name);
    }
    ::closedir(listing);
    return true;
}

// The file a leftover away from it names (saveLeftoverFileAttribute); empty when it names none.
QByteArray namedFile(int leftover) {
    QByteArray path(PATH_MAX, Qt::Uninitialized);
    const ssize_t size = ::fgetxattr(leftover, saveLeftoverFileAttribute, path.data(), size_t(path.size()));
    path.resize(size > 0 ? size : 0);
    return path.startsWith('/') && !path.contains('\0') ? path : QByteArray();
}

} // namespace

QByteArray saveLeftoverName(const QByteArray& fileName, SaveLeftover::Kind kind, quint32 id) {
    const qsizetype dot = fileName.lastIndexOf('.');
    QByteArray extension = dot > 0 ? fileName.mid(dot) : QByteArray();
    if (extension.size() > 16)
        extension.clear();
    const QByteArray suffix = '.' + QByteArray::number(id, 16).rightJustified(8, '0') + '.' +
                              kindText(kind).toByteArray() + extension;
    return '.' + fileName.left(NAME_MAX - 1 - suffix.size()) + suffix;
}

std::optional<SaveLeftover> parseSaveLeftoverName(const QByteArray& name) {
    if (!name.startsWith('.') || name.size() > NAME_MAX)
        return std::nullopt;
    for (const SaveLeftover::Kind kind : {SaveLeftover::Kind::workingCopy, SaveLeftover::Kind::backup}) {
        const QByteArray marker = '.' + kindText(kind).toByteArray();
        const qsizetype at = name.lastIndexOf(marker);
        // ".<name>.<8 hex digits>.<kind><extension>", the extension being nothing or one short ".xyz".
        if (at < 1 + 1 + 1 + 8)
            continue;
        const QByteArray extension = name.mid(at + marker.size());
        if (!extension.isEmpty() &&
            (extension.front() != '.' || extension.size() > 16 || extension.lastIndexOf('.') != 0))
            continue;
        const QByteArray id = name.mid(at - 8, 8);
        if (name[at - 9] != '.' || !isHex(id))
            continue;
        SaveLeftover leftover{kind, name.mid(1, at - 10), id.toUInt(nullptr, 16)};
        // The name it comes from ends in that extension, unless it was cut.
        const bool full = saveLeftoverName(leftover.fileName, kind, leftover.id) == name;
        if (!full && name.size() != NAME_MAX)
            continue;
        return leftover;
    }
    return std::nullopt;
}

int renameWithoutReplacing(int folder, const QByteArray& from, const QByteArray& to) {
    if (::syscall(SYS_renameat2, folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot rename without replacing: a link fails when the name is taken.
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) != 0)
        return errno;
    if (::unlinkat(folder, from.constData(), 0) != 0) {
        const int error = errno;
        ::unlinkat(folder, to.constData(), 0);
        return error;
    }
    return 0;
}

QList<SaveRecoveryNote>
recoverInterruptedSaves(const QString& folderPath,
                        const std::function<bool(const QByteArray& fileName)>& concerns,
                        const std::function<bool(const QString& path)>& readableAsAudio) {
    const QByteArray path = QFile::encodeName(folderPath);
    FileDescriptor fd = openFolder(path);
    std::vector<QByteArray> entries;
    std::vector<std::pair<QByteArray, SaveLeftover>> leftovers;
    if (!fd.valid() || !list(fd.get(), entries, leftovers))
        return {};

    Recovery recovery(Folder{std::move(fd), path}, readableAsAudio);
    // Backups first: a working copy beside one is the evidence of what its save wrote.
    for (const SaveLeftover::Kind kind : {SaveLeftover::Kind::backup, SaveLeftover::Kind::workingCopy}) {
        for (const auto& [name, leftover] : leftovers) {
            if (leftover.kind != kind)
                continue;
            const std::optional<QByteArray> fileName = recovery.fileOf(name, leftover, entries);
            if (!concerns(fileName.value_or(leftover.fileName)))
                continue;
            std::optional<LockedLeftover> locked = lockLeftover(recovery.folder(), name, leftover);
            if (!locked)
                continue;
            if (kind == SaveLeftover::Kind::backup)
                recovery.recoverBackup(*locked, fileName);
            else
                recovery.recoverWorkingCopy(*locked);
        }
    }
    return recovery.notes();
}

QList<SaveRecoveryNote>
recoverInterruptedSavesElsewhere(const QList<QByteArray>& folders,
                                 const std::function<bool(const QString& filePath)>& concerns,
                                 const std::function<bool(const QString& path)>& readableAsAudio) {
    QList<SaveRecoveryNote> notes;
    std::vector<std::pair<dev_t, ino_t>> seen; // $TMPDIR is often /tmp itself
    for (const QByteArray& path : folders) {
        FileDescriptor fd = openFolder(path);
        struct stat status {};
        if (!fd.valid() || ::fstat(fd.get(), &status) != 0)
            continue;
        if (std::find(seen.begin(), seen.end(), std::pair(status.st_dev, status.st_ino)) != seen.end())
            continue;
        seen.emplace_back(status.st_dev, status.st_ino);
        std::vector<QByteArray> entries;
        std::vector<std::pair<QByteArray, SaveLeftover>> leftovers;
        if (!list(fd.get(), entries, leftovers) || leftovers.empty())
            continue;

        Recovery recovery(Folder{std::move(fd), path}, readableAsAudio);
        for (const SaveLeftover::Kind kind : {SaveLeftover::Kind::backup, SaveLeftover::Kind::workingCopy}) {
            for (const auto& [name, leftover] : leftovers) {
                if (leftover.kind != kind)
                    continue;
                std::optional<LockedLeftover> locked = lockLeftover(recovery.folder(), name, leftover);
                const QByteArray file = locked ? namedFile(locked->fd.get()) : QByteArray();
                if (file.isEmpty() || !concerns(QFile::decodeName(file)))
                    continue;
                const qsizetype slash = file.lastIndexOf('/');
                const QByteArray fileFolderPath = slash == 0 ? QByteArray("/") : file.left(slash);
                const Folder fileFolder{openFolder(fileFolderPath), fileFolderPath};
                if (!fileFolder.fd.valid())
                    continue;
                recovery.setFileFolder(&fileFolder);
                if (kind == SaveLeftover::Kind::backup)
                    recovery.recoverBackup(*locked, file.mid(slash + 1));
                else
                    recovery.recoverWorkingCopy(*locked);
                recovery.setFileFolder(nullptr);
            }
        }
        notes += recovery.notes();
    }
    return notes;
}
