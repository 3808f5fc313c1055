#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/ThreadCheck.h"

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
    // Recorded before the disk changes: undo moves the files back through the
    // reconciliation of snapshots with the disk.
    recordUndoStep(tr("Rename %1 files").arg(m_selectedFiles.size()));

    int moved = 0;
    changeSelectedFiles([&](AudioFile& file) {
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
    sortFiles();
    return moved;
}

void DocumentViewModel::tagsFromFilename(const QString& pattern, const QList<TagField>& fields) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    recordUndoStep(tr("Extract tags from filename"));
    const std::optional<PatternExpression> expression = patternToRegex(pattern, fields);
    if (!expression)
        return;
    changeSelectedFiles([&](AudioFile& file) {
        if (const auto values = valuesFromName(*expression, file.filenameWithoutExtension()))
            store(file, *values);
    });
}

void DocumentViewModel::tagsFromPath(const QString& pattern, const QList<TagField>& fields) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    recordUndoStep(tr("Extract tags from path"));
    const PathPattern pathPattern = parsePathPattern(pattern, fields);
    changeSelectedFiles(
        [&](AudioFile& file) { store(file, valuesFromPath(pathPattern, file.url().toLocalFile())); });
}

void DocumentViewModel::numberTracks(qint64 start, std::optional<qint64> total, int paddingWidth) {
    ASSERT_GUI_THREAD();
    // Track numbers are stored and written as integers, so a width has nothing to shape.
    Q_UNUSED(paddingWidth);
    const qsizetype count = selectedAudioFiles().size();
    qint64 last = 0;
    // Numbers past the 64-bit range cannot be stored; nothing is numbered then.
    if (count == 0 || __builtin_add_overflow(start, qint64(count - 1), &last))
        return;
    recordUndoStep(tr("Number tracks"));
    const qint64 storedTotal = total.value_or(count);
    qint64 next = start;
    changeSelectedFiles([&](AudioFile& file) {
        TagSet tags = file.tags();
        tags.trackNumber = next++;
        tags.trackTotal = storedTotal;
        file.setTags(tags);
        file.setModified(true);
    });
}
