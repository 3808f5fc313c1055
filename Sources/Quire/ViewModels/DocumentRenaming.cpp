#include "Platform/FileSystem.h"
#include "Quire/ViewModels/BatchPreview.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

namespace {

// The typed name without surrounding blanks and without the file's own extension.
QString cleanedBaseName(const QString& typed, const QString& extension) {
    QString name = typed.trimmed();
    if (!extension.isEmpty() && name.toLower().endsWith(u'.' + extension.toLower()))
        name = name.chopped(extension.size() + 1).trimmed();
    return name;
}

} // namespace

Result<FileRenameResult, QString> DocumentViewModel::renameFile(const QUuid& id, const QString& typedName) {
    ASSERT_GUI_THREAD();
    if (m_isSaving || m_isMovingFiles)
        return tr("Files are being saved or moved. Rename the file when that is done.");
    const qsizetype index = indexOfFile(id);
    if (index < 0)
        return tr("The file is no longer in the list.");
    const QUrl current = m_files[index].url();
    const QString extension = Platform::pathExtension(current);
    const QString base = cleanedBaseName(typedName, extension);
    if (base.isEmpty())
        return tr("A file name can’t be empty.");
    if (base == u"." || base == u"..")
        return tr("“%1” can’t be a file name.").arg(base);
    if (FileMover::containsIllegalFilenameCharacter(base))
        return tr("A file name can’t contain / : \\ * ? \" < > | or a null character.");

    const QString newName = extension.isEmpty() ? base : base + u'.' + extension;
    const QUrl target =
        Platform::appendingPathComponent(Platform::deletingLastPathComponent(current), newName);
    if (FileMover::sameStandardizedLocation(target, current))
        return FileRenameResult::unchanged;

    const auto moveFailed = [](const Platform::FileResult& move) {
        return tr("The file couldn’t be renamed: %1").arg(move.error->description);
    };
    if (!Platform::exists(target)) {
        if (const Platform::FileResult move = Platform::moveItem(current, target); !move.ok())
            return moveFailed(move);
    } else {
        // Only the same file may sit there: a name differing in a way the volume ignores.
        if (!FileMover::isSameFile(current, target))
            return tr("“%1” already exists in this folder.").arg(newName);
        const QUrl parked = FileMover::parkingLocation(current);
        if (const Platform::FileResult move = Platform::moveItem(current, parked); !move.ok())
            return moveFailed(move);
        if (const Platform::FileResult move = Platform::moveItem(parked, target); !move.ok()) {
            (void)Platform::moveItem(parked, current);
            return moveFailed(move);
        }
    }

    // The step holds the list as it was, with the file at its old location.
    QList<AudioFile> files = m_files;
    files[index].setUrl(target);
    commit(tr("Rename %1").arg(Platform::lastPathComponent(current)), std::move(files));
    return FileRenameResult::done;
}

bool DocumentViewModel::renameFromPattern(const QString& pattern, PatternRenameCompletion completion) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = selectedAudioFiles();
    if (m_isSaving || m_isMovingFiles || m_work.isWorking() || selected.isEmpty())
        return false;
    using Outcome = PatternRenameReport::Outcome;
    // Names that collide or are taken are found before anything moves, as the preview shows them.
    PatternRenameReport report{planPatternRename(selected, pattern)};
    QList<FileMove> moves;
    for (qsizetype i = 0; i < selected.size(); ++i) {
        if (report.files[i].outcome == Outcome::moved)
            moves.append({selected[i].id(), selected[i].url(), report.files[i].target});
    }
    // Never overwrites: a taken name or a refused character leaves the file
    // where it is. Folders the pattern names are made below the file's own
    // folder. The undo step holds the files as they were before the disk
    // changed: undo moves them back through restore().
    const QString description = tr("Rename %n files", nullptr, int(selected.size()));
    startMoves(moves, false,
               [this, report, moves, description, completion](const FileMoveOutcome& outcome) mutable {
                   QHash<QUuid, QUrl> targets;
                   for (const FileMove& move : std::as_const(moves))
                       targets.insert(move.id, move.to);
                   for (PatternRenameReport::File& entry : report.files) {
                       if (!targets.contains(entry.id))
                           continue;
                       const auto failed = outcome.failedMoves.constFind(entry.id);
                       if (failed == outcome.failedMoves.constEnd()) {
                           entry.outcome = Outcome::moved;
                       } else if (failed->code == EEXIST || Platform::exists(targets.value(entry.id))) {
                           entry.outcome = Outcome::taken;
                           entry.reason = tr("“%1” is taken").arg(entry.newName);
                       } else {
                           entry.outcome = Outcome::notMoved;
                           entry.reason = tr("it could not be moved to “%1”").arg(entry.newName);
                       }
                   }
                   QList<AudioFile> files = m_files;
                   for (AudioFile& file : files) {
                       if (targets.contains(file.id()) && !outcome.failedMoves.contains(file.id()))
                           file.setUrl(targets.value(file.id()));
                   }
                   commit(description, std::move(files));
                   if (completion)
                       completion(report);
               });
    return true;
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
    m_work.start([this, moves = std::move(moves), together, folders = m_madeFolders,
                  finish = std::move(finish)](const WorkQueue::ProgressReport& report) -> Completion {
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
