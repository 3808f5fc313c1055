#include "DocumentTestSupport.h"

#include "Quire/ViewModels/TextSearch.h"
#include "Quire/ViewModels/TextTransform.h"

#include <chrono>
#include <gtest/gtest.h>
#include <unicode/locid.h>

using namespace DocumentTest;

namespace {

const QList<FieldKey> titleOnly{TagField::title};

// Two tagged files and one untagged, in this list order.
class TextDocumentTest : public testing::Test {
protected:
    // The import selects the first file; each test chooses its own selection.
    void SetUp() override {
        library.add(QStringLiteral("1.mp3"));
        library.add(QStringLiteral("2.flac"), QStringLiteral("tagged.flac"));
        library.add(QStringLiteral("3.ogg"), QStringLiteral("untagged.ogg"));
        importAndWait(document, {library.url()});
        ids = idsOf(document.files());
        document.setSelectedFiles({});
        importSteps = steps();
    }

    void set(int index, TagField field, const char* value) {
        document.editField(field, QString::fromUtf8(value), ids[index]);
    }
    std::optional<QString> value(int index, TagField field) const {
        return document.files()[index].tags().value(field);
    }
    void select(std::initializer_list<int> indexes) {
        QSet<QUuid> chosen;
        for (int index : indexes)
            chosen.insert(ids[index]);
        document.setSelectedFiles(chosen);
    }
    qsizetype steps() const { return document.history().undoDescriptions().size(); }
    int count(const char* search, bool regex, bool wholeWord, const QList<FieldKey>& fields = titleOnly,
              bool allFiles = false) const {
        return document.tagOperations().countFindMatches(QString::fromUtf8(search), regex, wholeWord, fields,
                                                         allFiles);
    }
    int replace(const char* search, const char* replacement, bool regex, bool wholeWord,
                const QList<FieldKey>& fields = titleOnly, bool allFiles = false) {
        return document.tagOperations().findAndReplace(
            QString::fromUtf8(search), QString::fromUtf8(replacement), regex, wholeWord, fields, allFiles);
    }

    Library library;
    DocumentViewModel document;
    QList<QUuid> ids;
    qsizetype importSteps = 0;
};

// --- Find and replace ---

using TextFindReplace = TextDocumentTest;

TEST_F(TextFindReplace, PlainSearchIsLiteralAndCaseSensitive) {
    set(0, TagField::title, "banana");
    set(0, TagField::album, "a.b*c (Love)");
    select({0});
    EXPECT_EQ(count("a", false, false), 3);
    EXPECT_EQ(replace("a", "b", false, false), 1); // one changed value, three matches
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("bbnbnb"));
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Find & replace in 1 files"));

    // Search and replacement are both taken literally.
    EXPECT_EQ(count(".", false, false, {TagField::album}), 1);
    EXPECT_EQ(count("love", false, false, {TagField::album}), 0);
    EXPECT_EQ(replace("*", "$1\\", false, false, {TagField::album}), 1);
    EXPECT_EQ(value(0, TagField::album), QStringLiteral("a.b$1\\c (Love)"));

    // Counting agrees with replacing: occurrences do not overlap.
    set(0, TagField::title, "aaaaa");
    for (const bool regex : {false, true})
        EXPECT_EQ(count("aa", regex, false), 2);
    EXPECT_EQ(replace("aa", "b", false, false), 1);
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("bba"));

    // An empty search counts the empty matches between characters but changes nothing (and records no step).
    const qsizetype before = steps();
    EXPECT_EQ(count("", false, false, {TagField::title}), 4);
    EXPECT_EQ(replace("", "x", false, false), 0);
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("bba"));
    EXPECT_EQ(steps(), before);
}

TEST_F(TextFindReplace, WholeWordEscapesTheSearchButKeepsTheTemplate) {
    set(0, TagField::title, "Love Lovely Love");
    set(0, TagField::artist, "Mrs Jones, Mr.Brown");
    set(1, TagField::artist, "Mrs Smith");
    select({0, 1});
    EXPECT_EQ(count("Love", false, true), 2);
    EXPECT_EQ(replace("Love", "Hate", false, true), 1);
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("Hate Lovely Hate"));

    // "." stands for itself: "Mrs" is no match.
    EXPECT_EQ(count("Mr.", false, true, {TagField::artist}), 1);
    EXPECT_EQ(replace("Mr.", "[$0]", false, true, {TagField::artist}), 1);
    EXPECT_EQ(value(0, TagField::artist), QStringLiteral("Mrs Jones, [Mr.]Brown"));
    EXPECT_EQ(value(1, TagField::artist), QStringLiteral("Mrs Smith"));
}

TEST_F(TextFindReplace, RegularExpressionsUseTemplatesAndInvalidOnesChangeNothing) {
    set(0, TagField::title, "A - B");
    set(0, TagField::album, "10 USD");
    select({0});
    EXPECT_EQ(replace("(\\w+) - (\\w+)", "$2 - $1", true, false), 1);
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("B - A"));
    // Groups by backslash too, as most tools write them; a doubled backslash stays one.
    EXPECT_EQ(replace("(\\w+) - (\\w+)", "\\2 \\\\ \\1", true, false), 1);
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("A \\ B"));
    EXPECT_EQ(replace("(\\w+) \\\\ (\\w+)", "$2 - $1", true, false), 1);
    EXPECT_EQ(replace("USD", "\\$", true, false, {TagField::album}), 1);
    EXPECT_EQ(value(0, TagField::album), QStringLiteral("10 $"));

    const qsizetype before = steps();
    for (const char* invalid : {"(\\w+", "B)"}) {
        EXPECT_EQ(count(invalid, true, false), 0);
        EXPECT_EQ(replace(invalid, "x", true, false), 0);
    }
    // A template naming a group the expression lacks fails like an invalid expression.
    EXPECT_EQ(replace("B", "$1", true, false), 0);
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("B - A"));
    EXPECT_EQ(steps(), before);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Find & replace in 1 files"));
}

TEST_F(TextFindReplace, EmptyMatchesFillEmptyAndAbsentFields) {
    select({2});
    document.tagOperations().applyTextTransform(TextTransform::lowerCase,
                                                {TagField::comment}); // present and empty
    set(2, TagField::album, "Kept");
    ASSERT_EQ(value(2, TagField::title), std::nullopt);
    const QList<FieldKey> fields{TagField::title, TagField::album, TagField::comment};
    EXPECT_EQ(count("^$", true, false, fields), 2);
    EXPECT_EQ(replace("^$", "X", true, false, fields), 2);
    EXPECT_EQ(value(2, TagField::title), QStringLiteral("X"));
    EXPECT_EQ(value(2, TagField::comment), QStringLiteral("X"));
    EXPECT_EQ(value(2, TagField::album), QStringLiteral("Kept"));

    // An absent field stays absent when the replacement leaves it empty.
    EXPECT_EQ(replace("^$", "", true, false, {TagField::grouping}), 0);
    EXPECT_EQ(value(2, TagField::grouping), std::nullopt);
}

TEST_F(TextFindReplace, TargetsTheSelectionOrAllFilesAndStoresOnlyChanges) {
    const QList<FieldKey> album{TagField::album};
    // A replacement equal to the match changes and marks nothing, and leaves no step.
    EXPECT_EQ(replace("Fixture", "Fixture", false, false, album, true), 0);
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_EQ(steps(), importSteps);

    select({0});
    EXPECT_EQ(count("Fixture", false, false, album), 1);
    EXPECT_EQ(count("Fixture", false, false, album, true), 2);
    EXPECT_EQ(replace("Fixture", "Test", false, false, album), 1);
    EXPECT_EQ(value(1, TagField::album), QStringLiteral("Fixture Album"));
    EXPECT_FALSE(document.files()[1].isModified());
    EXPECT_EQ(replace("Fixture", "Test", false, false, album, true), 1);
    EXPECT_EQ(value(1, TagField::album), QStringLiteral("Test Album"));
    EXPECT_EQ(document.modifiedCount(), 2);

    // No target: nothing at all, not even an undo step.
    document.setSelectedFiles({});
    const qsizetype before = steps();
    EXPECT_EQ(count("Test", false, false, album), 0);
    EXPECT_EQ(replace("Test", "x", false, false, album), 0);
    EXPECT_EQ(steps(), before);

    document.undo();
    EXPECT_EQ(value(1, TagField::album), QStringLiteral("Fixture Album"));
    EXPECT_EQ(value(0, TagField::album), QStringLiteral("Test Album"));
}

TEST_F(TextFindReplace, ExpressionThatRunsOutOfTimeMatchesNothingPromptly) {
    const QList<FieldKey> fields{TagField::title, TagField::artist, TagField::album, TagField::comment};
    set(0, TagField::title, "aa");
    const QByteArray slow = QByteArray(40, 'a') + "b";
    for (int index : {1, 2})
        for (const FieldKey& field : fields)
            set(index, *field.field(), slow.constData());
    const qsizetype before = steps();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(count("(a+)+$", true, false, fields, true), 0);
    // The first file's title would match, but nothing is replaced anywhere.
    EXPECT_EQ(replace("(a+)+$", "x", true, false, fields, true), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(value(0, TagField::title), QStringLiteral("aa"));
    EXPECT_EQ(steps(), before);
}

// Counting off the document, as the find sheet does in the background: the
// same count as the document's, and none once stopped.
TEST_F(TextFindReplace, CountingOverCopiedFilesAgreesAndCanBeStopped) {
    set(0, TagField::title, "banana");
    set(1, TagField::title, "an ant");
    const QList<FieldKey> fields{TagField::title, TagField::album};
    const TextSearch search(QStringLiteral("an"), false, false);
    EXPECT_EQ(countMatches(document.files(), search, fields), 4);
    EXPECT_EQ(countMatches(document.files(), search, fields), count("an", false, false, fields, true));
    EXPECT_EQ(countMatches(document.files(), TextSearch(QStringLiteral("(a"), true, false), fields), 0);
    const std::atomic<bool> stopped{true};
    EXPECT_EQ(countMatches(document.files(), search, fields, &stopped), std::nullopt);
}

// --- Text transforms ---

QString applied(TextTransform transform, const char* text) {
    return apply(transform, QString::fromUtf8(text));
}

TEST(TextTransformApply, CaseMappingsAreFullAndIgnoreTheUsersLocale) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale previous = icu::Locale::getDefault();
    icu::Locale::setDefault(icu::Locale("tr", "TR"), status);
    EXPECT_EQ(applied(TextTransform::upperCase, "Straße istanbul"), QStringLiteral("STRASSE ISTANBUL"));
    EXPECT_EQ(applied(TextTransform::lowerCase, "ÉCOLE IN"), QStringLiteral("école in"));
    EXPECT_EQ(applied(TextTransform::titleCase, "hello wORLD"), QStringLiteral("Hello World"));
    icu::Locale::setDefault(previous, status);

    EXPECT_EQ(applied(TextTransform::titleCase, "THE DARK SIDE OF THE MOON"),
              QStringLiteral("The Dark Side Of The Moon"));
    // Words end at white space only; blanks, tabs and line ends are kept as they are.
    EXPECT_EQ(applied(TextTransform::titleCase, " o'NEIL\tROCK-AND-ROLL\n(live)  ǆUNGLA"),
              QStringLiteral(" O'neil\tRock-and-roll\n(live)  ǅungla"));
    EXPECT_EQ(applied(TextTransform::titleCase, "ΟΔΟΣ ΚΑΙ"), QStringLiteral("Οδος Και"));
}

TEST(TextTransformApply, SwapSplitsAtTheFirstHyphenMinusOnly) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {{"Pink Floyd - Time", "Time - Pink Floyd"},
                 {"Pink Floyd-Time", "Time - Pink Floyd"},
                 {"Pink Floyd – Time", "Pink Floyd – Time"},
                 {"-Time", "-Time"},
                 {"Time-", "Time-"},
                 {"A - B - C", "B - C - A"},
                 {"\tA\t-\tB\n", "B\n - A"},
                 {"No hyphen", "No hyphen"}};
    for (const auto& c : cases)
        EXPECT_EQ(applied(TextTransform::swapArtistTitle, c.text), QString::fromUtf8(c.expected)) << c.text;
}

TEST(TextTransformApply, ChosenFieldsGoInDeclarationOrderThenCustomItemsByName) {
    const FieldKeySet chosen{
        TagField::title, TagField::comment, TagField::artist,          TagField::albumArtist,
        TagField::album, TagField::year,    FieldKey::custom(u"BAND"), FieldKey::custom(u"ARRANGER")};
    EXPECT_EQ(chosenTextFields(chosen),
              QList<FieldKey>({TagField::title, TagField::artist, TagField::album, TagField::albumArtist,
                               TagField::comment, FieldKey::custom(u"ARRANGER"), FieldKey::custom(u"BAND")}));
    EXPECT_EQ(textTagFields().size(), 9);
}

using TextBatch = TextDocumentTest;

TEST_F(TextBatch, TransformStoresEveryChosenFieldOfEverySelectedFile) {
    document.tagOperations().applyTextTransform(TextTransform::upperCase, titleOnly); // nothing selected
    EXPECT_EQ(steps(), importSteps);
    EXPECT_EQ(document.modifiedCount(), 0);

    select({1, 2});
    document.tagOperations().applyTextTransform(TextTransform::lowerCase, {TagField::title, TagField::album});
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Apply lower case to 2 files"));
    EXPECT_EQ(value(1, TagField::title), QStringLiteral("café ☕ 東京"));
    EXPECT_EQ(value(1, TagField::album), QStringLiteral("fixture album"));
    // Absent fields stay absent, and a file the transform leaves as it was is not modified.
    EXPECT_EQ(value(2, TagField::title), std::nullopt);
    EXPECT_EQ(value(2, TagField::album), std::nullopt);
    EXPECT_TRUE(document.files()[1].isModified());
    EXPECT_FALSE(document.files()[2].isModified());
    EXPECT_FALSE(document.files()[0].isModified());

    document.undo();
    EXPECT_EQ(value(1, TagField::album), QStringLiteral("Fixture Album"));
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST_F(TextBatch, CopyFieldConvertsThroughTheTextForm) {
    document.tagOperations().copyFieldToField(TagField::artist, TagField::albumArtist); // nothing selected
    EXPECT_EQ(steps(), importSteps);
    EXPECT_EQ(document.modifiedCount(), 0);

    set(0, TagField::title, "1973");
    set(1, TagField::grouping, "TRUE");
    set(2, TagField::grouping, "yes");
    select({0, 1, 2});
    document.tagOperations().copyFieldToField(TagField::artist, TagField::albumArtist);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Copy Artist → Album Artist"));
    EXPECT_EQ(value(0, TagField::albumArtist), QStringLiteral("Fixture Artist"));
    EXPECT_EQ(value(2, TagField::albumArtist), std::nullopt); // an absent source clears the target
    EXPECT_EQ(document.modifiedCount(), 3);

    document.tagOperations().copyFieldToField(TagField::title, TagField::year);
    EXPECT_EQ(document.files()[0].tags().year, QStringLiteral("1973"));
    EXPECT_TRUE(document.files()[1].tags().holdsTextForNumber(TagField::year)); // kept, marked
    document.tagOperations().copyFieldToField(TagField::trackNumber, TagField::comment);
    EXPECT_EQ(value(1, TagField::comment), QStringLiteral("3"));
    EXPECT_EQ(value(2, TagField::comment), std::nullopt);
    document.tagOperations().copyFieldToField(TagField::compilation, TagField::lyrics);
    EXPECT_EQ(value(0, TagField::lyrics), QStringLiteral("1"));
    EXPECT_EQ(value(2, TagField::lyrics), std::nullopt);
    document.tagOperations().copyFieldToField(TagField::grouping, TagField::compilation);
    EXPECT_EQ(document.files()[0].tags().compilation, false); // "Fixture Grouping"
    EXPECT_EQ(document.files()[1].tags().compilation, true);
    EXPECT_EQ(document.files()[2].tags().compilation, false);
}

} // namespace
