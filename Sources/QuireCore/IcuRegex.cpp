#include "QuireCore/IcuRegex.h"

#include "Platform/IcuText.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

struct IcuRegex::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

namespace {

using Platform::fromIcu;
using Platform::toIcu;

// A matcher on `text` with the time limit set; none if ICU cannot make one.
std::unique_ptr<icu::RegexMatcher> matcherFor(const icu::RegexPattern& pattern,
                                              const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(text, status));
    if (U_FAILURE(status))
        return nullptr;
    matcher->setTimeLimit(IcuRegex::timeLimit, status);
    return U_SUCCESS(status) ? std::move(matcher) : nullptr;
}

bool timedOut(UErrorCode status) {
    return status == U_REGEX_TIME_OUT || status == U_REGEX_STACK_OVERFLOW;
}

} // namespace

std::optional<IcuRegex> IcuRegex::compile(const QString& expression) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> pattern(
        icu::RegexPattern::compile(toIcu(expression), 0, parseError, status));
    if (U_FAILURE(status) || !pattern)
        return std::nullopt;
    return IcuRegex(std::make_shared<const Compiled>(Compiled{std::move(pattern)}));
}

QString IcuRegex::escape(const QString& literal) {
    // Every ASCII character that is not a letter or digit may carry a meaning;
    // a backslash before it always means the character itself.
    QString escaped;
    escaped.reserve(literal.size() * 2);
    for (QChar c : literal) {
        const char16_t u = c.unicode();
        const bool plain =
            (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u > 0x7F;
        if (!plain)
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

IcuRegex::Outcome<std::optional<QStringList>> IcuRegex::firstMatchGroups(const QString& text) const {
    const icu::UnicodeString subject = toIcu(text);
    const auto matcher = matcherFor(*m_compiled->pattern, subject);
    if (!matcher)
        return std::optional<QStringList>();
    UErrorCode status = U_ZERO_ERROR;
    const bool found = matcher->find(status);
    if (timedOut(status))
        return TimedOut{};
    if (U_FAILURE(status) || !found)
        return std::optional<QStringList>();
    QStringList groups;
    for (int32_t group = 1; group <= matcher->groupCount(); ++group)
        groups.append(fromIcu(matcher->group(group, status)));
    return std::optional(groups);
}

IcuRegex::Outcome<qsizetype> IcuRegex::countMatches(const QString& text) const {
    const icu::UnicodeString subject = toIcu(text);
    const auto matcher = matcherFor(*m_compiled->pattern, subject);
    if (!matcher)
        return qsizetype(0);
    qsizetype count = 0;
    UErrorCode status = U_ZERO_ERROR;
    while (matcher->find(status) && U_SUCCESS(status))
        ++count;
    if (timedOut(status))
        return TimedOut{};
    return count;
}

IcuRegex::Outcome<std::optional<QString>> IcuRegex::replaceAll(const QString& text,
                                                               const QString& replacementTemplate) const {
    const icu::UnicodeString subject = toIcu(text);
    const auto matcher = matcherFor(*m_compiled->pattern, subject);
    if (!matcher)
        return std::optional<QString>();
    // Not RegexMatcher::replaceAll: it searches without a status, so running
    // out of time there ends the search silently, half replaced.
    const icu::UnicodeString replacement = toIcu(replacementTemplate);
    icu::UnicodeString replaced;
    UErrorCode status = U_ZERO_ERROR;
    while (matcher->find(status) && U_SUCCESS(status))
        matcher->appendReplacement(replaced, replacement, status);
    if (timedOut(status))
        return TimedOut{};
    if (U_FAILURE(status))
        return std::optional<QString>();
    matcher->appendTail(replaced);
    return std::optional(fromIcu(replaced));
}
