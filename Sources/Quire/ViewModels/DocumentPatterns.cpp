#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QFileInfo>

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

int DocumentViewModel::renameFromPattern(const QString& pattern) {
    ASSERT_GUI_THREAD();
    if (m_isSaving || selectedAudioFiles().isEmpty())
        return 0;
    // The undo step holds the files as they were before the disk changed:
    // undo moves them back through the reconciliation of snapshots with the disk.
    int moved = 0;
    commitSelected(tr("Rename %n files", nullptr, int(m_selectedFiles.size())), [&](AudioFile& file) {
        // A file without the values the pattern names keeps its name rather
        // than getting one of separators only; so does one whose new name
        // would be hidden or empty.
        const std::optional<QString> name = renamedName(pattern, file);
        if (!name)
            return;
        const QUrl current = file.url();
        const QUrl target = Platform::standardizedLocation(
            Platform::appendingPathComponent(Platform::deletingLastPathComponent(current), *name));
        if (target == Platform::standardizedLocation(current))
            return;
        // Never overwrites: a taken name or a refused character leaves the
        // file where it is. Folders the pattern names are made below the
        // file's own folder.
        const std::optional<QString> madeFolder = makeFolderFor(current, target);
        if (!Platform::moveItem(current, target).ok()) {
            if (madeFolder)
                removeMadeFoldersIfEmpty();
            return;
        }
        file.setUrl(target);
        file.setModified(true);
        ++moved;
    });
    return moved;
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
