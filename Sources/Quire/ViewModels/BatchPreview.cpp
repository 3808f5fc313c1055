#include "Quire/ViewModels/BatchPreview.h"

#include "Platform/FileSystem.h"
#include "QuireCore/FileMover.h"

#include <QHash>
#include <QSet>

namespace {

using Status = PreviewLine::Status;

QString tr(const char* text, int n = -1) {
    return BatchPreview::tr(text, nullptr, n);
}

// A value as a line shows it: on one line, long ones cut short.
QString shown(const QString& value) {
    constexpr qsizetype longest = 48;
    if (value.isEmpty())
        return tr("(empty)");
    const QString line = value.simplified();
    return line.size() > longest ? line.first(longest - 1) + u'…' : line;
}

QString joined(const QStringList& parts) {
    return parts.join(QStringLiteral(" · "));
}

// The fields and custom items whose text differs between two tag sets.
QList<FieldKey> differingFields(const TagSet& before, const TagSet& after) {
    QList<FieldKey> fields;
    for (TagField field : allTagFields) {
        if (before.value(field) != after.value(field))
            fields.append(field);
    }
    for (const QString& name : TagSet::customNames({before, after})) {
        if (before.value(FieldKey::custom(name)) != after.value(FieldKey::custom(name)))
            fields.append(FieldKey::custom(name));
    }
    return fields;
}

// A plan that changes `after` into the file's new tags: "Title: old → new" for each changed field.
FilePlan changesTo(const AudioFile& file, const TagSet& after) {
    FilePlan plan{{file.id(), file.filename(), Status::unchanged, tr("no change")}, after, 0};
    const QList<FieldKey> fields = differingFields(file.tags(), after);
    if (fields.isEmpty()) {
        plan.tags = file.tags();
        return plan;
    }
    QStringList parts;
    for (const FieldKey& field : fields)
        parts.append(tr("%1: %2 → %3")
                         .arg(field.displayName(), shown(file.tags().value(field).value_or(QString())),
                              shown(after.value(field).value_or(QString()))));
    plan.line.status = Status::changes;
    plan.line.text = joined(parts);
    plan.changedFields = fields.size();
    return plan;
}

FilePlan skipping(const AudioFile& file, const QString& reason) {
    return {{file.id(), file.filename(), Status::skipped, reason}, file.tags(), 0};
}

// A plan that stores extracted values: the line names each value it stores.
FilePlan storing(const AudioFile& file, const QList<ExtractedValue>& values) {
    TagSet tags = file.tags();
    QStringList parts;
    for (const ExtractedValue& extracted : values)
        tags.setValue(extracted.value, extracted.field);
    // As stored: a number without its leading zeros.
    for (const ExtractedValue& extracted : values)
        parts.append(tr("%1: %2").arg(extracted.field.displayName(),
                                      shown(tags.value(extracted.field).value_or(QString()))));
    FilePlan plan = changesTo(file, tags);
    if (plan.line.status == Status::changes)
        plan.line.text = joined(parts);
    else
        plan.line.text = tr("already holds %1").arg(joined(parts));
    return plan;
}

} // namespace

QStringList BatchReport::skippedLines() const {
    QStringList lines;
    for (const PreviewLine& line : skipped)
        lines.append(line.filename + QStringLiteral(": ") + line.text);
    return lines;
}

FilePlan planTagsFromName(const AudioFile& file, const PatternExpression& expression) {
    const std::optional<QList<ExtractedValue>> values =
        valuesFromName(expression, file.filenameWithoutExtension());
    if (!values)
        return skipping(file, tr("the name doesn’t match the pattern"));
    if (values->isEmpty())
        return skipping(file, tr("the pattern names no field to fill"));
    return storing(file, *values);
}

FilePlan planTagsFromPath(const AudioFile& file, const PathPattern& pattern) {
    QList<ExtractedValue> values = valuesFromPath(pattern, file.url().toLocalFile());
    // Outermost folder first, as the pattern reads.
    std::reverse(values.begin(), values.end());
    if (!values.isEmpty())
        return storing(file, values);
    const qsizetype folders = std::max<qsizetype>(pathComponents(file.url().toLocalFile()).size() - 1, 0);
    if (folders == 0)
        return skipping(file, tr("the file is in no folder"));
    return skipping(file, tr("the pattern names no field to fill"));
}

FilePlan planFindReplace(const AudioFile& file, const TextSearch& search, const QString& replacement,
                         const QList<FieldKey>& fields) {
    TagSet tags = file.tags();
    for (const FieldKey& field : fields) {
        const QString old = tags.value(field).value_or(QString());
        const std::optional<QString> replaced = search.replacedInEachValue(old, replacement);
        if (!replaced)
            return skipping(file, tr("the search takes too long on its values"));
        // An absent field whose replacement is empty stays absent.
        if (*replaced != old)
            tags.setValue(*replaced, field);
    }
    return changesTo(file, tags);
}

FilePlan planTextTransform(const AudioFile& file, TextTransform transform, const QList<FieldKey>& fields) {
    TagSet tags = file.tags();
    for (const FieldKey& field : fields) {
        const QString old = tags.value(field).value_or(QString());
        QStringList values = TagSet::splitValues(old);
        for (QString& value : values)
            value = apply(transform, value);
        const QString transformed = values.join(TagSet::valueSeparator);
        if (transformed != old)
            tags.setValue(transformed, field);
    }
    return changesTo(file, tags);
}

FilePlan planCopyField(const AudioFile& file, const FieldKey& source, const FieldKey& target) {
    TagSet tags = file.tags();
    tags.setValue(tags.value(source), target);
    return changesTo(file, tags);
}

std::optional<BatchPreview> previewPlans(const QList<AudioFile>& files, const FilePlanner& plan,
                                         const std::atomic<bool>* stop) {
    BatchPreview preview;
    // The files that change or are skipped; those left as they were only when there are none.
    QList<PreviewLine> unchanged;
    for (const AudioFile& file : files) {
        if (stop && stop->load(std::memory_order_relaxed))
            return std::nullopt;
        const FilePlan planned = plan(file);
        switch (planned.line.status) {
        case Status::changes:
            if (preview.changing++ < previewLineLimit)
                preview.lines.append(planned.line);
            preview.changedFields += planned.changedFields;
            break;
        case Status::unchanged:
            if (preview.unchanged++ < previewLineLimit)
                unchanged.append(planned.line);
            break;
        case Status::skipped:
            if (preview.skipped++ < previewLineLimit)
                preview.lines.append(planned.line);
            break;
        }
    }
    if (preview.lines.isEmpty())
        preview.lines = unchanged;
    QStringList parts;
    parts.append(preview.changing == 0 ? tr("No file will change")
                                       : tr("%n files will change", int(preview.changing)) + u' ' +
                                             tr("(%n fields)", int(preview.changedFields)));
    if (preview.unchanged > 0)
        parts.append(tr("%n unchanged", int(preview.unchanged)));
    if (preview.skipped > 0)
        parts.append(tr("%n skipped", int(preview.skipped)));
    preview.summary = parts.join(QStringLiteral(", "));
    return preview;
}

QList<PatternRenameReport::File> planPatternRename(const QList<AudioFile>& files, const QString& pattern) {
    using Outcome = PatternRenameReport::Outcome;
    QList<PatternRenameReport::File> plan;
    // Names the run gives out, with the file that gets each, and the files it moves away.
    QHash<QUrl, QString> given;
    QSet<QUrl> vacated;
    for (const AudioFile& file : files) {
        PatternRenameReport::File entry{
            file.id(), file.filename(), expandPattern(pattern, file), Outcome::unchanged, {}, {}};
        const QUrl current = Platform::standardizedLocation(file.url());
        const QUrl target = Platform::standardizedLocation(
            Platform::appendingPathComponent(Platform::deletingLastPathComponent(file.url()), entry.newName));
        const QStringList parts = entry.newName.split(u'/');
        const auto refused =
            std::find_if(parts.begin(), parts.end(), FileMover::containsIllegalFilenameCharacter);
        // A file without the values the pattern names keeps its name rather
        // than getting one of separators only; so does one whose new name
        // would be hidden, empty or unusable.
        if (entry.newName == entry.filename || target == current) {
            entry.outcome = Outcome::unchanged;
        } else if (renamesToEmptyValues(pattern, file)) {
            entry.outcome = Outcome::valuesEmpty;
            entry.reason = tr("the values the pattern names are empty");
        } else if (!isUsableExpandedName(entry.newName)) {
            entry.outcome = Outcome::hiddenOrEmpty;
            entry.reason = tr("“%1” would be hidden or empty").arg(entry.newName);
        } else if (refused != parts.end()) {
            const auto character = std::find_if(refused->begin(), refused->end(), [](QChar c) {
                return FileMover::containsIllegalFilenameCharacter(QString(c));
            });
            entry.outcome = Outcome::refused;
            entry.reason = tr("“%1” holds “%2”, which a file name can’t contain")
                               .arg(entry.newName, character->isNull() ? tr("a null character") : *character);
        } else if (given.contains(target)) {
            entry.outcome = Outcome::collides;
            entry.reason = tr("“%1” is also the new name of “%2”").arg(entry.newName, given.value(target));
        } else if (!vacated.contains(target) && Platform::exists(target) &&
                   !FileMover::isSameFile(file.url(), target)) {
            entry.outcome = Outcome::taken;
            entry.reason = tr("“%1” is taken").arg(entry.newName);
        } else {
            entry.outcome = Outcome::moved;
            entry.target = target;
            given.insert(target, entry.filename);
            vacated.insert(current);
        }
        plan.append(entry);
    }
    return plan;
}

BatchPreview previewPatternRename(const QList<AudioFile>& files, const QString& pattern) {
    using Outcome = PatternRenameReport::Outcome;
    BatchPreview preview;
    qsizetype skippedShown = 0;
    const QList<PatternRenameReport::File> plan = planPatternRename(files, pattern);
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const PatternRenameReport::File& entry = plan[i];
        PreviewLine line{entry.id, entry.filename, Status::changes, tr("→ %1").arg(entry.newName)};
        if (entry.outcome == Outcome::moved) {
            ++preview.changing;
        } else if (entry.outcome == Outcome::unchanged) {
            ++preview.unchanged;
            line.status = Status::unchanged;
            line.text = tr("keeps its name");
        } else {
            ++preview.skipped;
            line.status = Status::skipped;
            line.text = entry.reason;
        }
        if (i < previewLineLimit) {
            preview.lines.append(line);
        } else if (line.status == Status::skipped && skippedShown < previewLineLimit) {
            preview.lines.append(line);
            ++skippedShown;
        }
    }
    QStringList parts;
    parts.append(preview.changing == 0 ? tr("No file will be renamed")
                                       : tr("%n files will be renamed", int(preview.changing)));
    if (preview.unchanged > 0)
        parts.append(tr("%n keep their names", int(preview.unchanged)));
    if (preview.skipped > 0)
        parts.append(tr("%n skipped", int(preview.skipped)));
    preview.summary = parts.join(QStringLiteral(", "));
    return preview;
}

QString unfilledTokenNote(const QString& pattern, const QList<FieldKey>& chosen, bool pathPattern) {
    QList<FieldKey> every(allTagFields.begin(), allTagFields.end());
    for (const FieldKey& field : every) {
        if (chosen.contains(field))
            continue;
        for (const QString& token : fieldPlaceholders({field}, pathPattern)) {
            if (!pattern.contains(token))
                continue;
            if (!pathPattern)
                return tr("%1 is not filled: its field is turned off below. Turn it on to fill it.")
                    .arg(token);
            QStringList filled;
            for (const FieldKey& chosenField : chosen)
                if (!chosenField.isCustom())
                    filled.append(fieldPlaceholders({chosenField}, false).join(QString()));
            return tr("%1 is not filled: folders fill only %2 and custom items such as {LABEL}.")
                .arg(token, filled.join(QStringLiteral(", ")));
        }
    }
    const QStringList known = fieldPlaceholders(every, pathPattern);
    if (const std::optional<QString> unknown = unknownPlaceholder(pattern, known))
        return pathPattern ? tr("%1 names no field: it matches any folder and fills nothing.").arg(*unknown)
                           : tr("%1 names no field: names must hold it as written.").arg(*unknown);
    return {};
}
