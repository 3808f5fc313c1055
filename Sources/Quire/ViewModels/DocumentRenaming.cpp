#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The typed name without surrounding blanks and without the file's own extension.
QString cleanedBaseName(const QString& typed, const QString& extension) {
    QString name = typed.trimmed();
    if (!extension.isEmpty() && name.toLower().endsWith(u'.' + extension.toLower()))
        name = name.chopped(extension.size() + 1).trimmed();
    return name;
}

} // namespace

FileRenameResult DocumentViewModel::renameFile(const QUuid& id, const QString& typedName) {
    ASSERT_GUI_THREAD();
    if (m_isSaving || m_isMovingFiles)
        return FileRenameResult::failed;
    const qsizetype index = indexOfFile(id);
    if (index < 0)
        return FileRenameResult::failed;
    const QUrl current = m_files[index].url();
    const QString extension = Platform::pathExtension(current);
    const QString base = cleanedBaseName(typedName, extension);
    if (base.isEmpty() || base == u"." || base == u".." || FileMover::containsIllegalFilenameCharacter(base))
        return FileRenameResult::failed;

    const QString newName = extension.isEmpty() ? base : base + u'.' + extension;
    const QUrl target =
        Platform::appendingPathComponent(Platform::deletingLastPathComponent(current), newName);
    if (FileMover::sameStandardizedLocation(target, current))
        return FileRenameResult::unchanged;

    if (!Platform::exists(target)) {
        if (!Platform::moveItem(current, target).ok())
            return FileRenameResult::failed;
    } else {
        // Only the same file may sit there: a name differing in a way the volume ignores.
        if (!FileMover::isSameFile(current, target))
            return FileRenameResult::failed;
        const QUrl parked = FileMover::parkingLocation(current);
        if (!Platform::moveItem(current, parked).ok())
            return FileRenameResult::failed;
        if (!Platform::moveItem(parked, target).ok()) {
            (void)Platform::moveItem(parked, current);
            return FileRenameResult::failed;
        }
    }

    // The step holds the list as it was, with the file at its old location.
    QList<AudioFile> files = m_files;
    files[index].setUrl(target);
    commit(tr("Rename %1").arg(Platform::lastPathComponent(current)), files);
    return FileRenameResult::done;
}

void DocumentViewModel::setMovingFiles(bool moving) {
    if (m_isMovingFiles == moving)
        return;
    m_isMovingFiles = moving;
    emit isMovingFilesChanged();
}

// One run at a time (callers refuse while files move), so the made folders
// handed to the run are the latest and its result replaces them.
void DocumentViewModel::startMoves(QList<FileMove> moves, bool together,
                                   std::function<void(const FileMoveOutcome&)> finish) {
    ASSERT_GUI_THREAD();
    setMovingFiles(true);
    startWork([this, moves = std::move(moves), together, folders = m_madeFolders,
               finish = std::move(finish)](const ProgressReport& report) -> Completion {
        FileMover mover(folders);
        FileMoveOutcome outcome =
            together ? mover.moveTogether(moves, report) : mover.moveEachOnItsOwn(moves, report);
        if (together)
            mover.removeMadeFoldersIfEmpty();
        return [this, outcome = std::move(outcome), made = mover.madeFolders(), finish] {
            m_madeFolders = made;
            // Cleared before `finish` commits the change the moves were for; told after it.
            m_isMovingFiles = false;
            finish(outcome);
            emit isMovingFilesChanged();
            for (const Completion& held : std::exchange(m_afterMoves, {}))
                held();
        };
    });
}
