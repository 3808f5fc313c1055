#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/IcuRegex.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QString>
#include <atomic>
#include <optional>

// The search of one find-and-replace operation, compiled once for all the
// values it visits: plain (literal, case-sensitive), whole word (the escaped
// text between word boundaries) or a regular expression. Literal searches
// never go through the expression engine, so counting and replacing share one
// notion of an occurrence. Safe to use from several threads at once.
class TextSearch {
public:
    TextSearch(const QString& search, bool useRegex, bool wholeWord);

    // False for a regular expression that does not compile.
    bool isValid() const { return !m_isExpression || m_expression.has_value(); }

    // The number of non-overlapping occurrences; none when the search cannot
    // run on this text (it does not compile, or ran out of time), which voids
    // the whole operation.
    std::optional<qsizetype> count(const QString& text) const;
    // The text with every occurrence replaced; none as for count, and also
    // when the template names a group the expression does not have. With an
    // expression (whole words too), "$1" and "\1" both insert the first group,
    // "$0" the match, and "\" makes the next character literal; a plain
    // search's replacement is literal.
    std::optional<QString> replaced(const QString& text, const QString& replacement) const;
    // Both as above on each value of a field's text ("A; B"), so that "^"
    // and "$" mark where each value starts and ends.
    std::optional<qsizetype> countInEachValue(const QString& text) const;
    std::optional<QString> replacedInEachValue(const QString& text, const QString& replacement) const;

private:
    qsizetype literalCount(const QString& text) const;

    QString m_literal;
    bool m_isExpression;
    std::optional<IcuRegex> m_expression;
};

// The occurrences of the search in the fields of the files (absent fields read
// as empty text), summed and capped at the largest int; 0 when the search
// cannot run on one of the values. Pure, so that a view can count off the GUI
// thread: `stop`, when given, is polled between values, and a count that was
// stopped has no result.
std::optional<int> countMatches(const QList<AudioFile>& files, const TextSearch& search,
                                const QList<FieldKey>& fields, const std::atomic<bool>* stop = nullptr);
