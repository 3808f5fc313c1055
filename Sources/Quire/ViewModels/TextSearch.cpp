#include "Quire/ViewModels/TextSearch.h"

#include <algorithm>
#include <limits>

namespace {

// The engine's replacement template for what the user typed: "\1" (the form
// most tools take) becomes "$1"; every other escape stays as typed.
QString groupReferencesAsDollars(const QString& typed) {
    QString result;
    result.reserve(typed.size());
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (typed[i] == u'\\' && i + 1 < typed.size()) {
            result.append(typed[i + 1].isDigit() ? QChar(u'$') : typed[i]);
            result.append(typed[++i]);
        } else {
            result.append(typed[i]);
        }
    }
    return result;
}

} // namespace

TextSearch::TextSearch(const QString& search, bool useRegex, bool wholeWord)
    : m_literal(search)
    , m_isExpression(useRegex || wholeWord) {
    if (useRegex)
        m_expression = IcuRegex::compile(search);
    else if (wholeWord)
        m_expression =
            IcuRegex::compile(QStringLiteral("\\b") + IcuRegex::escape(search) + QStringLiteral("\\b"));
}

std::optional<qsizetype> TextSearch::count(const QString& text) const {
    if (!m_isExpression)
        return literalCount(text);
    if (!m_expression)
        return std::nullopt;
    auto outcome = m_expression->countMatches(text);
    return outcome ? std::optional(outcome.value()) : std::nullopt;
}

std::optional<QString> TextSearch::replaced(const QString& text, const QString& replacement) const {
    if (!m_isExpression) {
        // Nothing is no occurrence: an empty search leaves every value as it is.
        if (m_literal.isEmpty())
            return text;
        return QString(text).replace(m_literal, replacement, Qt::CaseSensitive);
    }
    if (!m_expression)
        return std::nullopt;
    auto outcome = m_expression->replaceAll(text, groupReferencesAsDollars(replacement));
    return outcome ? std::move(outcome).value() : std::nullopt;
}

std::optional<qsizetype> TextSearch::countInEachValue(const QString& text) const {
    qsizetype total = 0;
    for (const QString& value : TagSet::splitValues(text)) {
        const std::optional<qsizetype> matches = count(value);
        if (!matches)
            return std::nullopt;
        total += *matches;
    }
    return total;
}

std::optional<QString> TextSearch::replacedInEachValue(const QString& text,
                                                       const QString& replacement) const {
    QStringList values = TagSet::splitValues(text);
    for (QString& value : values) {
        std::optional<QString> replacedValue = replaced(value, replacement);
        if (!replacedValue)
            return std::nullopt;
        value = std::move(*replacedValue);
    }
    return values.join(TagSet::valueSeparator);
}

qsizetype TextSearch::literalCount(const QString& text) const {
    // Empty text matches before every character and at the end; the sheet
    // never shows this count, and replacing nothing changes nothing.
    if (m_literal.isEmpty())
        return text.size() + 1;
    // Not QString::count, which counts overlapping occurrences.
    qsizetype occurrences = 0;
    for (qsizetype at = text.indexOf(m_literal); at >= 0; at = text.indexOf(m_literal, at + m_literal.size()))
        ++occurrences;
    return occurrences;
}

std::optional<int> countMatches(const QList<AudioFile>& files, const TextSearch& search,
                                const QList<FieldKey>& fields, const std::atomic<bool>* stop) {
    qsizetype total = 0;
    for (const AudioFile& file : files) {
        for (const FieldKey& field : fields) {
            if (stop && stop->load(std::memory_order_relaxed))
                return std::nullopt;
            const std::optional<qsizetype> matches =
                search.countInEachValue(file.tags().value(field).value_or(QString()));
            if (!matches)
                return 0;
            total += *matches;
        }
    }
    return static_cast<int>(std::min<qsizetype>(total, std::numeric_limits<int>::max()));
}
