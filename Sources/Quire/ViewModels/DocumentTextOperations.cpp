#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"
#include "QuireCore/IcuRegex.h"

#include <algorithm>
#include <limits>

namespace {

// The search of one find-and-replace operation, compiled once for all the
// values it visits. Literal searches never go through the expression engine,
// so counting and replacing share one notion of an occurrence.
class TextSearch {
public:
    TextSearch(const QString& search, bool useRegex, bool wholeWord)
        : m_literal(search)
        , m_isExpression(useRegex || wholeWord) {
        if (useRegex)
            m_expression = IcuRegex::compile(search);
        else if (wholeWord)
            m_expression =
                IcuRegex::compile(QStringLiteral("\\b") + IcuRegex::escape(search) + QStringLiteral("\\b"));
    }

    // The number of non-overlapping occurrences; none when the search cannot
    // run on this text (it does not compile, or ran out of time), which voids
    // the whole operation.
    std::optional<qsizetype> count(const QString& text) const {
        if (!m_isExpression)
            return literalCount(text);
        if (!m_expression)
            return std::nullopt;
        auto outcome = m_expression->countMatches(text);
        return outcome ? std::optional(outcome.value()) : std::nullopt;
    }

    // The text with every occurrence replaced; none as for count, and also
    // when the template names a group the expression does not have.
    std::optional<QString> replaced(const QString& text, const QString& replacement) const {
        if (!m_isExpression) {
            // Nothing is no occurrence: an empty search leaves every value as it is.
            if (m_literal.isEmpty())
                return text;
            return QString(text).replace(m_literal, replacement, Qt::CaseSensitive);
        }
        if (!m_expression)
            return std::nullopt;
        auto outcome = m_expression->replaceAll(text, replacement);
        return outcome ? std::move(outcome).value() : std::nullopt;
    }

private:
    qsizetype literalCount(const QString& text) const {
        // Empty text matches before every character and at the end; the sheet
        // never shows this count, and replacing nothing changes nothing.
        if (m_literal.isEmpty())
            return text.size() + 1;
        // Not QString::count, which counts overlapping occurrences.
        qsizetype occurrences = 0;
        for (qsizetype at = text.indexOf(m_literal); at >= 0;
             at = text.indexOf(m_literal, at + m_literal.size()))
            ++occurrences;
        return occurrences;
    }

    QString m_literal;
    bool m_isExpression;
    std::optional<IcuRegex> m_expression;
};

} // namespace

int DocumentViewModel::findAndReplace(const QString& search, const QString& replacement, bool useRegex,
                                      bool wholeWord, const QList<TagField>& fields, bool allFiles) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> targets = allFiles ? m_files : selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    QSet<QUuid> targetIds;
    for (const AudioFile& file : targets)
        targetIds.insert(file.id());

    // Every replacement is worked out before any is stored, so that an
    // expression that runs out of time on one value changes no value at all.
    const TextSearch textSearch(search, useRegex, wholeWord);
    QList<AudioFile> files = m_files;
    int changedValues = 0;
    bool voided = false;
    for (AudioFile& file : files) {
        if (!targetIds.contains(file.id()))
            continue;
        TagSet tags = file.tags();
        bool fileChanged = false;
        for (TagField field : fields) {
            const QString old = tags.value(field).value_or(QString());
            const std::optional<QString> replaced = textSearch.replaced(old, replacement);
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

    recordUndoStep(tr("Find & replace in %1 files").arg(targets.size()));
    if (voided)
        return 0;
    setFiles(files);
    return changedValues;
}

int DocumentViewModel::countFindMatches(const QString& search, bool useRegex, bool wholeWord,
                                        const QList<TagField>& fields, bool allFiles) const {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> targets = allFiles ? m_files : selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    const TextSearch textSearch(search, useRegex, wholeWord);
    qsizetype total = 0;
    for (const AudioFile& file : targets) {
        for (TagField field : fields) {
            const std::optional<qsizetype> matches =
                textSearch.count(file.tags().value(field).value_or(QString()));
            if (!matches)
                return 0;
            total += *matches;
        }
    }
    return static_cast<int>(std::min<qsizetype>(total, std::numeric_limits<int>::max()));
}

void DocumentViewModel::applyTextTransform(TextTransform transform, const QList<TagField>& fields) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    recordUndoStep(tr("Apply %1 to %2 files").arg(label(transform), QString::number(m_selectedFiles.size())));
    changeSelectedFiles([&](AudioFile& file) {
        if (fields.isEmpty())
            return;
        // Stored whether or not it differs: an absent field becomes present and empty.
        TagSet tags = file.tags();
        for (TagField field : fields)
            tags.setValue(apply(transform, tags.value(field).value_or(QString())), field);
        file.setTags(tags);
        file.setModified(true);
    });
}

void DocumentViewModel::copyFieldToField(TagField source, TagField target) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    recordUndoStep(tr("Copy %1 → %2").arg(displayName(source), displayName(target)));
    changeSelectedFiles([&](AudioFile& file) {
        // Through the text form, so numbers parse strictly and an absent source clears the target.
        TagSet tags = file.tags();
        tags.setValue(tags.value(source), target);
        file.setTags(tags);
        file.setModified(true);
    });
}
