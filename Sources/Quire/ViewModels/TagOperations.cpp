#include "Quire/ViewModels/TagOperations.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/TextSearch.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QFileInfo>
#include <QHash>

BatchReport TagOperations::run(const QString& description, const FilePlanner& plan) {
    BatchReport report;
    m_document.commitSelected(description, [&](AudioFile& file) {
        const FilePlan planned = plan(file);
        switch (planned.line.status) {
        case PreviewLine::Status::changes:
            ++report.changed;
            file.setTags(planned.tags);
            break;
        case PreviewLine::Status::unchanged:
            ++report.unchanged;
            break;
        case PreviewLine::Status::skipped:
            report.skipped.append(planned.line);
            break;
        }
    });
    return report;
}

BatchReport TagOperations::tagsFromFilename(const QString& pattern, const QList<FieldKey>& fields) {
    ASSERT_THREAD_OF(m_document);
    if (m_document.selectedAudioFiles().isEmpty())
        return {};
    const std::optional<PatternExpression> expression = patternToRegex(pattern, fields);
    if (!expression)
        return {};
    return run(tr("Extract tags from filename"),
               [&](const AudioFile& file) { return planTagsFromName(file, *expression); });
}

BatchReport TagOperations::tagsFromPath(const QString& pattern, const QList<FieldKey>& fields) {
    ASSERT_THREAD_OF(m_document);
    if (m_document.selectedAudioFiles().isEmpty())
        return {};
    const PathPattern pathPattern = parsePathPattern(pattern, fields);
    return run(tr("Extract tags from path"),
               [&](const AudioFile& file) { return planTagsFromPath(file, pathPattern); });
}

QList<TrackNumbering> TagOperations::planTrackNumbers(qint64 start, TrackTotals totals,
                                                      bool perFolder) const {
    ASSERT_THREAD_OF(m_document);
    // The selected files in list order, by the run they are numbered in.
    QList<QString> runOrder;
    QHash<QString, QList<AudioFile>> runs;
    for (const AudioFile& file : m_document.selectedAudioFiles()) {
        const QString run = perFolder ? QFileInfo(file.url().toLocalFile()).path() : QString();
        if (!runs.contains(run))
            runOrder.append(run);
        runs[run].append(file);
    }
    QList<TrackNumbering> plan;
    for (const QString& run : std::as_const(runOrder)) {
        const QList<AudioFile>& files = runs[run];
        qint64 last = 0;
        // Numbers past the 64-bit range cannot be stored; nothing is numbered then.
        if (__builtin_add_overflow(start, qint64(files.size() - 1), &last))
            return {};
        for (qsizetype i = 0; i < files.size(); ++i) {
            std::optional<QString> total;
            switch (totals.rule) {
            case TrackTotals::Rule::keep:
                total = files[i].tags().trackTotal;
                break;
            case TrackTotals::Rule::count:
                total = QString::number(files.size());
                break;
            case TrackTotals::Rule::given:
                total = QString::number(totals.given);
                break;
            }
            plan.append(
                {files[i].id(), start + i, total, files[i].tags().holdsTextForNumber(TagField::trackNumber)});
        }
    }
    return plan;
}

void TagOperations::numberTracks(qint64 start, TrackTotals totals, bool perFolder) {
    ASSERT_THREAD_OF(m_document);
    QHash<QUuid, TrackNumbering> plan;
    for (const TrackNumbering& numbering : planTrackNumbers(start, totals, perFolder))
        plan.insert(numbering.file, numbering);
    if (plan.isEmpty())
        return;
    m_document.commitSelected(tr("Number tracks"), [&](AudioFile& file) {
        const TrackNumbering numbering = plan.value(file.id());
        TagSet tags = file.tags();
        tags.trackNumber = QString::number(numbering.number);
        tags.trackTotal = numbering.total;
        file.setTags(tags);
    });
}

int TagOperations::findAndReplace(const QString& search, const QString& replacement, bool useRegex,
                                  bool wholeWord, const QList<FieldKey>& fields, bool allFiles) {
    ASSERT_THREAD_OF(m_document);
    const QList<AudioFile> targets = allFiles ? m_document.shownFiles() : m_document.selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    QSet<QUuid> targetIds;
    for (const AudioFile& file : targets)
        targetIds.insert(file.id());

    // Every replacement is worked out before any is stored, so that an
    // expression that runs out of time on one value changes no value at all.
    const TextSearch textSearch(search, useRegex, wholeWord);
    QList<AudioFile> files = m_document.files();
    int changedValues = 0;
    for (AudioFile& file : files) {
        if (!targetIds.contains(file.id()))
            continue;
        const FilePlan plan = planFindReplace(file, textSearch, replacement, fields);
        if (plan.line.status == PreviewLine::Status::skipped)
            return 0;
        file.setTags(plan.tags);
        changedValues += int(plan.changedFields);
    }
    m_document.commit(tr("Find & replace in %n files", nullptr, int(targets.size())), std::move(files));
    return changedValues;
}

int TagOperations::countFindMatches(const QString& search, bool useRegex, bool wholeWord,
                                    const QList<FieldKey>& fields, bool allFiles) const {
    ASSERT_THREAD_OF(m_document);
    const QList<AudioFile> targets = allFiles ? m_document.shownFiles() : m_document.selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    return countMatches(targets, TextSearch(search, useRegex, wholeWord), fields).value_or(0);
}

BatchReport TagOperations::applyTextTransform(TextTransform transform, const QList<FieldKey>& fields) {
    ASSERT_THREAD_OF(m_document);
    const qsizetype count = m_document.selectedAudioFiles().size();
    if (count == 0 || fields.isEmpty())
        return {};
    const QString description = tr("Apply %1 to %n files", nullptr, int(count)).arg(label(transform));
    return run(description,
               [&](const AudioFile& file) { return planTextTransform(file, transform, fields); });
}

BatchReport TagOperations::copyFieldToField(const FieldKey& source, const FieldKey& target) {
    ASSERT_THREAD_OF(m_document);
    if (m_document.selectedAudioFiles().isEmpty())
        return {};
    return run(tr("Copy %1 → %2").arg(source.displayName(), target.displayName()),
               [&](const AudioFile& file) { return planCopyField(file, source, target); });
}
