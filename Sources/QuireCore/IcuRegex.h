#pragma once

#include "QuireCore/Result.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// An ICU regular expression (no flags: case-sensitive), compiled once and
// matched many times. Every call runs under a time limit, so a pathological
// expression typed by the user cannot freeze the program: a call that runs
// out of time reports TimedOut, and callers treat the expression as one that
// does not compile. Safe to use from several threads at once.
class IcuRegex {
public:
    struct TimedOut {};
    template <typename T> using Outcome = Result<T, TimedOut>;

    // None when the expression does not compile.
    static std::optional<IcuRegex> compile(const QString& expression);
    // The text escaped character by character, independent of context, so that
    // the escaped form of a part occurs unchanged inside the escaped whole.
    static QString escape(const QString& literal);

    // The capture groups of the first match in `text` (group 1 first); none
    // when nothing matches.
    Outcome<std::optional<QStringList>> firstMatchGroups(const QString& text) const;
    // The number of non-overlapping matches, scanning from the left.
    Outcome<qsizetype> countMatches(const QString& text) const;
    // Every non-overlapping match replaced by the template ("$n" inserts a
    // group, "\" makes the next character literal); none when the template is
    // invalid for this expression (a group that does not exist).
    Outcome<std::optional<QString>> replaceAll(const QString& text, const QString& replacementTemplate) const;

    // The time one call may take (all its matches in one text), in the
    // regular-expression engine's steps (roughly milliseconds).
    static constexpr int timeLimit = 200;

private:
    struct Compiled; // the ICU pattern, kept out of this header
    explicit IcuRegex(std::shared_ptr<const Compiled> compiled)
        : m_compiled(std::move(compiled)) {}
    std::shared_ptr<const Compiled> m_compiled;
};
