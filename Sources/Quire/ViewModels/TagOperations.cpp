#include "Quire/ViewModels/TagOperations.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/TextSearch.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QFileInfo>
#include <QHash>

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

void TagOperations::tagsFromFilename(const QString& pattern, const QList<FieldKey>& fields) {
    ASSERT_THREAD_OF(m_document);
    if (m_document.selectedAudioFiles().isEmpty())
        return;
    const std::optional<PatternExpression> expression = patternToRegex(pattern, fields);
    if (!expression)
        return;
    m_document.commitSelected(tr("Extract tags from filename"), [&](AudioFile& file) {
        if (const auto values = valuesFromName(*expression, file.filenameWithoutExtension()))
            store(file, *values);
    });
}

void TagOperations::tagsFromPath(const QString& pattern, const QList<FieldKey>& fields) {
    ASSERT_THREAD_OF(m_document);
    if (m_document.selectedAudioFiles().isEmpty())
        return;
    const PathPattern pathPattern = parsePathPattern(pattern, fields);
    m_document.commitSelected(tr("Extract tags from path"), [&](AudioFile& file) {
        store(file, valuesFromPath(pathPattern, file.url().toLocalFile()));
    });
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
        file.setModified(true);
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
    bool voided = false;
    for (AudioFile& file : files) {
        if (!targetIds.contains(file.id()))
            continue;
        TagSet tags = file.tags();
        bool fileChanged = false;
        for (const FieldKey& field : fields) {
            const QString old = tags.value(field).value_or(QString());
            const std::optional<QString> replaced = textSearch.replacedInEachValue(old, replacement);
            if (!replaced) {
                voided = true;
                break;
            }
            if (*replaced != old) {
                tags.setValue(*replaced, field);
                fileChanged = true;
                ++changedValues;
            }
        }
        if (voided)
            break;
        if (fileChanged) {
            file.setTags(tags);
            file.setModified(true);
        }
    }

    // An expression that runs out of time changes no value at all, in one step all the same.
    m_document.commit(tr("Find & replace in %n files", nullptr, int(targets.size())),
                      voided ? m_document.files() : files);
    return voided ? 0 : changedValues;
}

int TagOperations::countFindMatches(const QString& search, bool useRegex, bool wholeWord,
                                    const QList<FieldKey>& fields, bool allFiles) const {
    ASSERT_THREAD_OF(m_document);
    const QList<AudioFile> targets = allFiles ? m_document.shownFiles() : m_document.selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    return countMatches(targets, TextSearch(search, useRegex, wholeWord), fields).value_or(0);
}

void TagOperations::applyTextTransform(TextTransform transform, const QList<FieldKey>& fields) {
    ASSERT_THREAD_OF(m_document);
    const qsizetype count = m_document.selectedAudioFiles().size();
    if (count == 0)
        return;
    const QString description = tr("Apply %1 to %n files", nullptr, int(count)).arg(label(transform));
    m_document.commitSelected(description, [&](AudioFile& file) {
        if (fields.isEmpty())
            return;
        // Stored whether or not it differs: an absent field becomes present and empty.
        TagSet tags = file.tags();
        for (const FieldKey& field : fields) {
            QStringList values = TagSet::splitValues(tags.value(field).value_or(QString()));
            for (QString& value : values)
                value = apply(transform, value);
            tags.setValue(values.join(TagSet::valueSeparator), field);
        }
        file.setTags(tags);
        file.setModified(true);
    });
}

void TagOperations::copyFieldToField(const FieldKey& source, const FieldKey& target) {
    ASSERT_THREAD_OF(m_document);
    if (m_document.selectedAudioFiles().isEmpty())
        return;
    m_document.commitSelected(tr("Copy %1 → %2").arg(source.displayName(), target.displayName()),
                              [&](AudioFile& file) {
                                  // Through the text form, with every value; an absent source
                                  // clears the target.
                                  TagSet tags = file.tags();
                                  tags.setValue(tags.value(source), target);
                                  file.setTags(tags);
                                  file.setModified(true);
                              });
}
