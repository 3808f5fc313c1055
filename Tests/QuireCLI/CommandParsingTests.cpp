#include "CliCommand.h"
#include "Quire/ViewModels/FieldInput.h"
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
              (QList<FieldKey>{TagField::title, TagField::albumArtist}));

    const std::pair<const char*, const char*> refused[] = {
        {"frobnicate", "unknown command"},
        {"set Titel x", "unknown field “Titel” (the fields are title, artist,"},
        {"set trackNumber 3/x", "Track Number takes a whole number from 0 to 2147483647, or “number/total”"},
        {"set bpm -3", "BPM takes a whole number from 0 to 2147483647, not “-3”"},
        {"set year 73-03-01", "Year takes a year or a date"},
        {"set titel x", "unknown field “titel”"},
        {"set-file a.mp3 compilation maybe", "Compilation takes true, false, yes, no, 1 or 0"},
        {"set-file a.mp3 nope", "unknown field “nope”"},
        {"number-tracks --start two", "--start needs a whole number"},
        {"number-tracks --total all", "--total needs keep, count or a whole number"},
        {"optimize-artwork --quality 1.5", "--quality needs a number"},
        {"count x --fields title,bogus", "unknown field in"},
        {"transform shout", "unknown transform"},
        {"compilation yes", "true or false"},
        {"rename-pattern '{track} {trackNumber}'",
         "unknown placeholder “{trackNumber}” (the placeholders are {title}"},
        {"tags-from-filename '{track} - {title}'", "unknown placeholder “{track}”"},
        {"tags-from-path '%artist%/%genre%'", "unknown placeholder “%genre%”"},
        {"rename onlyone", "wrong number of arguments"},
        {"list extra", "wrong number of arguments"},
        {"count x --bogus", "unknown option"},
        {"number-tracks --total", "needs a value"},
        {"set title 'unterminated", "not closed"},
    };
    EXPECT_TRUE(parseCliCommand(QStringLiteral("set TITLE x")).ok()) << "field names ignore case";
    // Other items go by their names in capitals, so that a misspelt field is no new item.
    EXPECT_EQ(fieldNamed(QStringLiteral("CATALOGNUMBER")), FieldKey::custom(u"CATALOGNUMBER"));
    EXPECT_EQ(fieldNamed(QStringLiteral("TRACKNUMBER")), FieldKey(TagField::trackNumber));
    EXPECT_EQ(fieldNamed(QStringLiteral("DATE")), FieldKey(TagField::year));
    EXPECT_EQ(fieldNamed(QStringLiteral("Catalognumber")), std::nullopt);
    EXPECT_TRUE(parseCliCommand(QStringLiteral("set artist 'Ralf Hütter' 'Florian Schneider'")).ok());

    for (const auto& [line, problem] : refused) {
        const Result<CliCommand, QString> command = parseCliCommand(QString::fromUtf8(line));
        ASSERT_FALSE(command.ok()) << line;
        EXPECT_TRUE(command.error().contains(QString::fromUtf8(problem))) << line << ": " << command.error();
    }
}

// Text a field cannot hold is refused before anything changes, instead of
// turning into no value and clearing the field at the next save.
TEST(CliCommands, FieldValuesAreTheOnesTheFieldCanHold) {
    using Edits = QList<FieldEdit>;
    const auto edits = [](const FieldKey& field, const char* text) {
        const Result<Edits, QString> parsed = parseFieldInput(field, QString::fromUtf8(text));
        return parsed ? std::optional(parsed.value()) : std::nullopt;
    };
    EXPECT_EQ(edits(TagField::trackNumber, " 3/12 "),
              (Edits{{TagField::trackNumber, "3"}, {TagField::trackTotal, "12"}}));
    EXPECT_EQ(edits(TagField::discNumber, "1/2"),
              (Edits{{TagField::discNumber, "1"}, {TagField::discTotal, "2"}}));
    EXPECT_EQ(edits(TagField::year, " 1973-03-01T10:30"), (Edits{{TagField::year, "1973-03-01T10:30"}}));
    EXPECT_EQ(edits(FieldKey::custom(u"MEDIA"), "Vinyl; CD"),
              (Edits{{FieldKey::custom(u"MEDIA"), "Vinyl; CD"}}));
    EXPECT_EQ(edits(FieldKey::custom(u"MEDIA"), ""), (Edits{{FieldKey::custom(u"MEDIA"), std::nullopt}}));
    EXPECT_EQ(edits(TagField::bpm, "+0120"), (Edits{{TagField::bpm, "120"}}));
    EXPECT_EQ(edits(TagField::compilation, "YES"), (Edits{{TagField::compilation, "1"}}));
    EXPECT_EQ(edits(TagField::trackTotal, ""), (Edits{{TagField::trackTotal, std::nullopt}}));
    EXPECT_EQ(edits(TagField::title, " kept as typed "), (Edits{{TagField::title, " kept as typed "}}));
    for (const char* refused : {"2147483648", "3/", "/12", "3 of 12", "1e3"})
        EXPECT_EQ(edits(TagField::trackNumber, refused), std::nullopt) << refused;
    EXPECT_EQ(edits(TagField::trackTotal, "3/12"), std::nullopt) << "only numbers take a total";
}

} // namespace
