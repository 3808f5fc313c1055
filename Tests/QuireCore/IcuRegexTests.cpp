#include "QuireCore/IcuRegex.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

IcuRegex compiled(const QString& expression) {
    std::optional<IcuRegex> regex = IcuRegex::compile(expression);
    EXPECT_TRUE(regex.has_value()) << expression;
    return *regex;
}

qsizetype countOf(const QString& expression, const QString& text) {
    const auto outcome = compiled(expression).countMatches(text);
    EXPECT_TRUE(outcome.ok());
    return outcome.ok() ? outcome.value() : -1;
}

std::optional<QString> replacing(const QString& expression, const QString& text, const QString& replacement) {
    const auto outcome = compiled(expression).replaceAll(text, replacement);
    EXPECT_TRUE(outcome.ok());
    return outcome.ok() ? outcome.value() : std::nullopt;
}

TEST(IcuRegexEscape, EveryCharacterStandsForItself) {
    QString all;
    for (char16_t c = 1; c < 0x80; ++c)
        all += QChar(c);
    all += QStringLiteral("é☕東😀");
    for (QChar c : all) {
        const QString one(c);
        EXPECT_EQ(countOf(IcuRegex::escape(one), one), 1) << int(c.unicode());
        EXPECT_EQ(countOf(IcuRegex::escape(one), QStringLiteral("_")), c == u'_' ? 1 : 0) << int(c.unicode());
    }
    EXPECT_EQ(countOf(IcuRegex::escape(all), all), 1);
    EXPECT_EQ(countOf(IcuRegex::escape(QStringLiteral("a.c")), QStringLiteral("abc")), 0);
}

TEST(IcuRegexMatching, CountsAndReplacementsAgreeOnNonOverlappingMatches) {
    EXPECT_EQ(countOf(QStringLiteral("aa"), QStringLiteral("aaaaa")), 2);
    EXPECT_EQ(replacing(QStringLiteral("aa"), QStringLiteral("aaaaa"), QStringLiteral("b")),
              QStringLiteral("bba"));
    // Empty matches: one per position, and after a non-empty match only at the end.
    EXPECT_EQ(countOf(QStringLiteral("x*"), QStringLiteral("baa")), 4);
    EXPECT_EQ(replacing(QStringLiteral("x*"), QStringLiteral("baa"), QStringLiteral("|")),
              QStringLiteral("|b|a|a|"));
    EXPECT_EQ(countOf(QStringLiteral("a*"), QStringLiteral("baa")), 3);
    EXPECT_EQ(replacing(QStringLiteral("a*"), QStringLiteral("baa"), QStringLiteral("|")),
              QStringLiteral("|b||"));
    // Case-sensitive, no flags.
    EXPECT_EQ(countOf(QStringLiteral("love"), QStringLiteral("Love")), 0);
}

TEST(IcuRegexMatching, TemplatesInsertGroupsAndEscapeWithBackslash) {
    const QString expression = QStringLiteral("(\\w+) - (\\w+)");
    EXPECT_EQ(replacing(expression, QStringLiteral("A - B"), QStringLiteral("$2 - $1")),
              QStringLiteral("B - A"));
    EXPECT_EQ(replacing(expression, QStringLiteral("A - B"), QStringLiteral("[$0]")),
              QStringLiteral("[A - B]"));
    EXPECT_EQ(replacing(expression, QStringLiteral("A - B"), QStringLiteral("\\$1\\\\")),
              QStringLiteral("$1\\"));
    // A group the expression does not have makes the template unusable.
    EXPECT_EQ(replacing(expression, QStringLiteral("A - B"), QStringLiteral("$3")), std::nullopt);
    // Without a match the template is never read.
    EXPECT_EQ(replacing(expression, QStringLiteral("AB"), QStringLiteral("$3")), QStringLiteral("AB"));
}

TEST(IcuRegexMatching, PathologicalExpressionTimesOutPromptly) {
    const IcuRegex regex = compiled(QStringLiteral("(a+)+$"));
    const QString text = QString(40, u'a') + u'b';
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(regex.countMatches(text).ok());
    EXPECT_FALSE(regex.replaceAll(text, QStringLiteral("x")).ok());
    EXPECT_FALSE(regex.firstMatchGroups(text).ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // The same expression on a harmless text still works.
    EXPECT_EQ(regex.countMatches(QStringLiteral("baa")).value(), 1);
}

} // namespace
