#include "CliCommand.h"
#include "ShellWords.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QStringList words(const char* line) {
    Result<QStringList, QString> split = splitShellWords(QString::fromUtf8(line));
    EXPECT_TRUE(split.ok()) << line;
    return split.ok() ? split.value() : QStringList();
}

TEST(CliShellWords, QuotesAndBackslashesAsAShellSplitsThem) {
    EXPECT_EQ(words(R"(set title "Dark Side")"), QStringList({"set", "title", "Dark Side"}));
    EXPECT_EQ(words("  a\t b  "), QStringList({"a", "b"}));
    EXPECT_EQ(words(R"(say 'it''s' "\"q\" \$x \a" back\ slash)"),
              QStringList({"say", "its", R"("q" $x \a)", "back slash"}));
    EXPECT_EQ(words(R"(set comment "")"), QStringList({"set", "comment", ""}));
    EXPECT_EQ(words(R"(a''b "c"'d')"), QStringList({"ab", "cd"}));
    EXPECT_EQ(words("x 'multi\nline'"), QStringList({"x", "multi\nline"}));
    EXPECT_TRUE(words("").isEmpty());
    for (const char* broken : {R"(set title "open)", "it's", R"(trailing\)"})
        EXPECT_FALSE(splitShellWords(QString::fromUtf8(broken)).ok()) << broken;
}

TEST(CliCommands, ChecksNamesArgumentsFieldsAndNumbersBeforeRunning) {
    const Result<CliCommand, QString> replace =
        parseCliCommand(QStringLiteral("replace a b --regex --fields title,albumArtist"));
    ASSERT_TRUE(replace.ok());
    EXPECT_EQ(replace.value().arguments, QStringList({"a", "b"}));
    EXPECT_TRUE(replace.value().hasFlag("--regex"));
    EXPECT_EQ(fieldsNamed(*replace.value().option("--fields")),
              (QList<TagField>{TagField::title, TagField::albumArtist}));

    const std::pair<const char*, const char*> refused[] = {
        {"frobnicate", "unknown command"},
        {"set Title x", "unknown field “Title”"},
        {"set-file a.mp3 nope", "unknown field “nope”"},
        {"number-tracks --start two", "--start needs a whole number"},
        {"optimize-artwork --quality 1.5", "--quality needs a number"},
        {"count x --fields title,bogus", "unknown field in"},
        {"transform shout", "unknown transform"},
        {"compilation yes", "true or false"},
        {"rename onlyone", "wrong number of arguments"},
        {"list extra", "wrong number of arguments"},
        {"count x --bogus", "unknown option"},
        {"number-tracks --total", "needs a value"},
        {"set title 'unterminated", "not closed"},
    };
    for (const auto& [line, problem] : refused) {
        const Result<CliCommand, QString> command = parseCliCommand(QString::fromUtf8(line));
        ASSERT_FALSE(command.ok()) << line;
        EXPECT_TRUE(command.error().contains(QString::fromUtf8(problem))) << line << ": " << command.error();
    }
}

} // namespace
