#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QFileInfo>
#include <cerrno>

namespace {

// Stores the values; true when at least one was stored.
bool store(AudioFile& file, const QList<ExtractedValue>& values) {
    if (values.isEmpty())
        return false;
    TagSet tags = file.tags();
    for (const ExtractedValue& extracted : values)
        tags.setValue(extracted.value, extracted.field);
    file.setTags(tags);
    file.setModified(true);
    return true;
}

} // namespace

bool DocumentViewModel::renameFromPattern(const QString& pattern, PatternRenameCompletion completion) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = selectedAudioFiles();
    if (m_isSaving || m_isMovingFiles || m_isWorking || selected.isEmpty())
        return false;
    using Outcome = PatternRenameReport::Outcome;
    PatternRenameReport report;
    QList<FileMove> moves;
    for (const AudioFile& file : selected) {
        PatternRenameReport::File entry{
            file.id(), file.filename(), expandPattern(pattern, file), Outcome::unchanged, {}};
        // A file without the values the pattern names keeps its name rather
        // than getting one of separators only; so does one whose new name
        // would be hidden or empty.
        const std::optional<QString> name = renamedName(pattern, file);
        if (entry.newName == entry.filename) {
            entry.outcome = Outcome::unchanged;
        } else if (renamesToEmptyValues(pattern, file)) {
            entry.outcome = Outcome::valuesEmpty;
            entry.reason = tr("the values the pattern names are empty");
        } else if (!name) {
            entry.outcome = Outcome::hiddenOrEmpty;
            entry.reason = tr("“%1” would be hidden or empty").arg(entry.newName);
        } else {
            const QUrl current = file.url();
            const QUrl target = Platform::standardizedLocation(
                Platform::appendingPathComponent(Platform::deletingLastPathComponent(current), *name));
            if (target == Platform::standardizedLocation(current))
                entry.outcome = Outcome::unchanged;
            else
                moves.append({file.id(), current, target});
        }
        report.files.append(entry);
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
                       if (targets.contains(file.id()) && !outcome.failedMoves.contains(file.id())) {
                           file.setUrl(targets.value(file.id()));
                           file.setModified(true);
                       }
                   }
                   commit(description, files);
                   if (completion)
                       completion(report);
               });
    return true;
}

void DocumentViewModel::tagsFromFilename(const QString& pattern, const QList<TagField>& fields) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    const std::optional<PatternExpression> expression = patternToRegex(pattern, fields);
    if (!expression)
        return;
    commitSelected(tr("Extract tags from filename"), [&](AudioFile& file) {
        if (const auto values = valuesFromName(*expression, file.filenameWithoutExtension()))
            store(file, *values);
    });
}

void DocumentViewModel::tagsFromPath(const QString& pattern, const QList<TagField>& fields) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    const PathPattern pathPattern = parsePathPattern(pattern, fields);
    commitSelected(tr("Extract tags from path"), [&](AudioFile& file) {
        store(file, valuesFromPath(pathPattern, file.url().toLocalFile()));
    });
}

void DocumentViewModel::numberTracks(qint64 start, std::optional<qint64> total, int paddingWidth,
                                     bool perFolder) {
    ASSERT_GUI_THREAD();
    // Track numbers are stored and written as integers, so a width has nothing to shape.
    Q_UNUSED(paddingWidth);
    // The selected files in list order, by the run they are numbered in.
    QHash<QString, QList<QUuid>> runs;
    for (const AudioFile& file : selectedAudioFiles())
        runs[perFolder ? QFileInfo(file.url().toLocalFile()).path() : QString()].append(file.id());
    if (runs.isEmpty())
        return;
    QHash<QUuid, std::pair<qint64, qint64>> numbers; // number and total of each file
    for (const QList<QUuid>& run : std::as_const(runs)) {
        qint64 last = 0;
        // Numbers past the 64-bit range cannot be stored; nothing is numbered then.
        if (__builtin_add_overflow(start, qint64(run.size() - 1), &last))
            return;
        for (qsizetype i = 0; i < run.size(); ++i)
            numbers.insert(run[i], {start + i, total.value_or(run.size())});
    }
    commitSelected(tr("Number tracks"), [&](AudioFile& file) {
        const auto [number, count] = numbers.value(file.id());
        TagSet tags = file.tags();
        tags.trackNumber = number;
        tags.trackTotal = count;
        file.setTags(tags);
        file.setModified(true);
    });
}
