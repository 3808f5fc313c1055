#include "DocumentTestSupport.h"

#include <QFileInfo>

#include "Quire/ViewModels/PatternEngine.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

using namespace DocumentTest;

namespace {

AudioFile fileAt(const QString& path, TagSet tags = {}) {
    const QUrl url = QUrl::fromLocalFile(path);
    return AudioFile(QUuid::createUuid(), url, detectAudioFormat(url).value_or(AudioFormat::mp3),
                     std::nullopt, AudioProperties{}, std::move(tags), {});
}

TagSet numbered(std::optional<qint64> track, std::optional<qint64> total) {
    const auto text = [](std::optional<qint64> n) {
        return n ? std::optional(QString::number(*n)) : std::nullopt;
    };
    TagSet tags;
    tags.trackNumber = text(track);
    tags.trackTotal = text(total);
    return tags;
}

// --- Expanding rename patterns ---

TEST(PatternExpansion, TokensAreReplacedInTheirBindingOrder) {
    TagSet tags = numbered(1, 12);
    tags.title = QStringLiteral("Time");
    EXPECT_EQ(expandPattern(QStringLiteral("{track} - {title}"), fileAt(QStringLiteral("/m/a.flac"), tags)),
              QStringLiteral("01 - Time.flac"));
    EXPECT_EQ(expandPattern(QStringLiteral("{track} - {title}"), fileAt(QStringLiteral("/m/a.mp3"))),
              QStringLiteral(" - .mp3"));
    EXPECT_EQ(expandPattern(QStringLiteral("{title}"), fileAt(QStringLiteral("/m/README"))), QString());

    // A value holding a later token is expanded again; one holding an earlier token is not.
    tags.title = QStringLiteral("{artist} live");
    tags.artist = QStringLiteral("{title}");
    tags.year = QStringLiteral("-44");
    tags.grouping = QStringLiteral("G");
    EXPECT_EQ(expandPattern(QStringLiteral("{title}|{grouping}|{year}|{trackTotal}"),
                            fileAt(QStringLiteral("/m/a.mp3"), tags)),
              QStringLiteral("{title} live|G|-44|12.mp3"));
    // Field tokens that are not rename tokens stay literal; a token twice is replaced twice.
    EXPECT_EQ(expandPattern(QStringLiteral("{trackNumber} {bpm} {track}{track}"),
                            fileAt(QStringLiteral("/m/a.mp3"), tags)),
              QStringLiteral("{trackNumber} {bpm} 0101.mp3"));
}

TEST(PatternExpansion, TrackIsPaddedToTheWidthOfTheTotal) {
    const struct {
        std::optional<qint64> track, total;
        const char* expected;
    } cases[] = {{3, 12, "03"},    {3, 9, "3"},           {3, 120, "003"}, {3, std::nullopt, "03"},
                 {123, 12, "123"}, {7, 5, "7"},           {3, 0, "3"},     {3, -10, "003"},
                 {-5, 100, "-05"}, {std::nullopt, 12, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(expandPattern(QStringLiteral("{track}"),
                                fileAt(QStringLiteral("/m/a"), numbered(c.track, c.total))),
                  QString::fromUtf8(c.expected))
            << c.expected;
}

TEST(PatternExpansion, TheExtensionIsAddedUnlessThePatternEndsWithItExactly) {
    const AudioFile flac = fileAt(QStringLiteral("/m/a.flac"));
    EXPECT_EQ(expandPattern(QStringLiteral("x.flac"), flac), QStringLiteral("x.flac"));
    EXPECT_EQ(expandPattern(QStringLiteral("x.FLAC"), flac), QStringLiteral("x.FLAC.flac"));
    EXPECT_EQ(expandPattern(QStringLiteral("x.flac "), flac), QStringLiteral("x.flac .flac"));
    EXPECT_EQ(expandPattern(QStringLiteral("xflac"), flac), QStringLiteral("xflac.flac"));
}

TEST(PatternExpansion, RunawayExpansionGivesUpInsteadOfExhaustingMemory) {
    // Each step multiplies the length by about 500: far beyond memory by the fourth.
    const auto repeated = [](const char* token) { return QString::fromUtf8(token).repeated(4000); };
    TagSet tags;
    tags.title = repeated("{artist}");
    tags.artist = repeated("{album}");
    tags.album = repeated("{albumArtist}");
    tags.albumArtist = repeated("{composer}");
    EXPECT_EQ(expandPattern(QStringLiteral("{title}"), fileAt(QStringLiteral("/m/a.mp3"), tags)), QString());
}

// --- Matching file names ---

QList<ExtractedValue> match(const QString& pattern, const QList<FieldKey>& fields, const QString& name,
                            bool* matched = nullptr) {
    const auto expression = patternToRegex(pattern, fields);
    if (!expression) {
        ADD_FAILURE() << "does not compile: " << pattern;
        return {};
    }
    const auto values = valuesFromName(*expression, name);
    if (matched)
        *matched = values.has_value();
    return values.value_or(QList<ExtractedValue>());
}

bool matches(const QString& pattern, const QList<FieldKey>& fields, const QString& name) {
    bool matched = false;
    match(pattern, fields, name, &matched);
    return matched;
}

TEST(PatternMatching, GroupsFollowThePatternAreLazyAndCoverTheWholeName) {
    using F = TagField;
    const auto expression =
        patternToRegex(QStringLiteral("{trackNumber} - {title}"), {F::title, F::trackNumber});
    ASSERT_TRUE(expression);
    EXPECT_EQ(expression->groupFields, QList<FieldKey>({F::trackNumber, F::title}));

    EXPECT_EQ(match(QStringLiteral("{artist} - {title}"), {F::title, F::artist}, QStringLiteral("A - B - C")),
              QList<ExtractedValue>({{F::artist, QStringLiteral("A")}, {F::title, QStringLiteral("B - C")}}));
    EXPECT_EQ(
        match(QStringLiteral("{trackNumber}{title}"), {F::title, F::trackNumber}, QStringLiteral("01Song")),
        QList<ExtractedValue>({{F::trackNumber, QString()}, {F::title, QStringLiteral("01Song")}}));
    EXPECT_FALSE(matches(QStringLiteral("{title} - Live"), {F::title}, QStringLiteral("Song - Live extra")));
    EXPECT_FALSE(matches(QStringLiteral("Live {title}"), {F::title}, QStringLiteral("live Song")));
    EXPECT_FALSE(matches(QStringLiteral("{trackNumber}. {title}"), {F::title, F::trackNumber},
                         QStringLiteral("01 - Time")));
}

TEST(PatternMatching, LiteralTextIsMatchedCharacterForCharacter) {
    using F = TagField;
    EXPECT_EQ(match(QStringLiteral("({year}) {title}"), {F::year, F::title}, QStringLiteral("(1999) Song")),
              QList<ExtractedValue>({{F::year, QStringLiteral("1999")}, {F::title, QStringLiteral("Song")}}));
    EXPECT_FALSE(
        matches(QStringLiteral("({year}) {title}"), {F::year, F::title}, QStringLiteral("1999 Song")));
    EXPECT_FALSE(matches(QStringLiteral("a.b*{title}"), {F::title}, QStringLiteral("axbbSong")));
    EXPECT_TRUE(matches(QStringLiteral("a.b*{title}"), {F::title}, QStringLiteral("a.b*Song")));
    // A blank-hyphen-blank is not a blank-en-dash-blank.
    EXPECT_FALSE(
        matches(QStringLiteral("{artist} - {title}"), {F::artist, F::title}, QStringLiteral("A – B")));
    // The token of a field not chosen is literal text.
    EXPECT_FALSE(matches(QStringLiteral("{artist} - {title}"), {F::title}, QStringLiteral("Band - Song")));
    EXPECT_TRUE(matches(QStringLiteral("{artist} - {title}"), {F::title}, QStringLiteral("{artist} - Song")));
    // The percent form belongs to folder patterns only.
    EXPECT_FALSE(matches(QStringLiteral("%title%"), {F::title}, QStringLiteral("Song")));

    // Whatever the text, a pattern without tokens matches exactly itself.
    const QString awkward[] = {
        QStringLiteral("\\"),       QStringLiteral("\\E(.*)\\Q"),  QStringLiteral("(("),
        QStringLiteral("{"),        QStringLiteral("[a-z]{2,}$1"), QStringLiteral("# x\t|"),
        QStringLiteral("日本 ☕ é"), QString(QChar(0xD800)),        QString(QChar(0)) + u'x'};
    for (const QString& text : awkward) {
        EXPECT_TRUE(matches(text, {F::title}, text)) << text;
        EXPECT_FALSE(matches(text, {F::title}, text + u'!')) << text;
    }
}

// --- Matching folder paths ---

QList<ExtractedValue> fromPath(const QString& pattern, const QString& path,
                               const QList<FieldKey>& fields = {TagField::artist, TagField::album}) {
    return valuesFromPath(parsePathPattern(pattern, fields), path);
}

TEST(PatternPath, ThePatternIsAlignedWithTheFoldersFromTheRight) {
    using F = TagField;
    const QString path = QStringLiteral("/Music/Pink Floyd/Dark Side/01-Time.flac");
    const QList<ExtractedValue> both{{F::album, QStringLiteral("Dark Side")},
                                     {F::artist, QStringLiteral("Pink Floyd")}};
    EXPECT_EQ(fromPath(QStringLiteral("{artist}/{album}"), path), both);
    EXPECT_EQ(fromPath(QStringLiteral("%artist%/%album%"), path), both);
    EXPECT_EQ(fromPath(QStringLiteral("//{artist}//{album}/"), path), both);
    EXPECT_EQ(fromPath(QStringLiteral("{genre}/{artist}/{album}"), path), both);
    EXPECT_EQ(fromPath(QStringLiteral("{album}"), path),
              QList<ExtractedValue>({{F::album, QStringLiteral("Dark Side")}}));
    // Only as many folders as fields are examined: {artist} is never reached.
    EXPECT_EQ(fromPath(QStringLiteral("{artist}/{album}/extra"), path),
              QList<ExtractedValue>({{F::album, QStringLiteral("Pink Floyd")}}));
    EXPECT_EQ(fromPath(QStringLiteral("{artist}/{album}"), QStringLiteral("/song.mp3")),
              QList<ExtractedValue>());
    EXPECT_EQ(fromPath(QStringLiteral("{artist}/{album}"), QStringLiteral("/Band/song.mp3")),
              QList<ExtractedValue>({{F::album, QStringLiteral("Band")}}));
}

// --- The document operations on real files ---

class PatternOperations : public testing::Test {
protected:
    void load(const QStringList& names) {
        for (const QString& name : names)
            library.add(name, name.endsWith(u".flac") ? QStringLiteral("tagged.flac")
                                                      : QStringLiteral("tagged.mp3"));
        importAndWait(document, {library.url()});
    }
    void select(const QStringList& names) {
        QSet<QUuid> ids;
        for (const QString& name : names)
            ids.insert(fileNamed(document, name).id());
        document.setSelectedFiles(ids);
    }
    void selectAll() {
        const QList<QUuid> ids = idsOf(document.files());
        document.setSelectedFiles({ids.begin(), ids.end()});
    }
    const TagSet& tagsOf(const QString& name) const { return fileNamed(document, name).tags(); }
    QStringList onDisk(const QString& folder = {}) const {
        return QDir(library.path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    qsizetype undoSteps() const { return document.history().undoDescriptions().size(); }

    Library library;
    DocumentViewModel document;
};

TEST_F(PatternOperations, NothingSelectedRecordsNoStep) {
    load({QStringLiteral("a.mp3")});
    document.setSelectedFiles({});
    const qsizetype steps = undoSteps();
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{title}")), 0);
    document.tagOperations().tagsFromFilename(QStringLiteral("{title}"), {TagField::title});
    document.tagOperations().tagsFromPath(QStringLiteral("{album}"), {TagField::album});
    document.tagOperations().numberTracks(1, {});
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST_F(PatternOperations, TagsFromFilenameStoreTheGroupsThroughTheTextConversions) {
    load({QStringLiteral("01 - Time - Live.flac"), QStringLiteral("A1 - Intro.mp3"),
          QStringLiteral("nomatch.mp3"), QStringLiteral("z - .mp3")});
    selectAll();
    document.tagOperations().tagsFromFilename(QStringLiteral("{trackNumber} - {title}"),
                                              {TagField::title, TagField::trackNumber});
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Extract tags from filename"));
    EXPECT_EQ(tagsOf(QStringLiteral("01 - Time - Live.flac")).title, QStringLiteral("Time - Live"));
    EXPECT_EQ(tagsOf(QStringLiteral("01 - Time - Live.flac")).trackNumber, QStringLiteral("1"));
    EXPECT_EQ(tagsOf(QStringLiteral("A1 - Intro.mp3")).trackNumber, QStringLiteral("A1")); // kept as text
    EXPECT_EQ(tagsOf(QStringLiteral("z - .mp3")).title, std::optional(QString()));
    EXPECT_FALSE(fileNamed(document, QStringLiteral("nomatch.mp3")).isModified());
    EXPECT_EQ(document.modifiedCount(), 3);
    EXPECT_EQ(tagsOf(QStringLiteral("nomatch.mp3")).trackNumber, QStringLiteral("3")); // the fixture's own

    // No match anywhere changes nothing and records no step.
    const qsizetype steps = undoSteps();
    document.tagOperations().tagsFromFilename(QStringLiteral("{title}.live"), {TagField::title});
    EXPECT_EQ(undoSteps(), steps);
    document.undo();
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST_F(PatternOperations, TagsFromPathStoreFolderNamesInTheChosenFields) {
    library.add(QStringLiteral("Pink Floyd/Dark Side/01-Time.flac"), QStringLiteral("untagged.flac"));
    library.add(QStringLiteral("Pink Floyd/Dark Side/02-Money.flac"), QStringLiteral("untagged.flac"));
    importAndWait(document, {library.url()});
    select({QStringLiteral("01-Time.flac")});
    document.tagOperations().tagsFromPath(QStringLiteral("/{artist}/{album}/"),
                                          {TagField::artist, TagField::album});
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Extract tags from path"));
    EXPECT_EQ(tagsOf(QStringLiteral("01-Time.flac")).artist, QStringLiteral("Pink Floyd"));
    EXPECT_EQ(tagsOf(QStringLiteral("01-Time.flac")).album, QStringLiteral("Dark Side"));
    EXPECT_EQ(tagsOf(QStringLiteral("02-Money.flac")).artist, std::nullopt);
    EXPECT_EQ(document.modifiedCount(), 1);
}

TEST_F(PatternOperations, TracksAreNumberedInListOrderSkippingUnselectedFiles) {
    load(
        {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3"), QStringLiteral("d.mp3")});
    document.setSortOrder({SortDescriptor{SortKey::filename, false}});
    document.sortFiles();
    select({QStringLiteral("a.mp3"), QStringLiteral("c.mp3"), QStringLiteral("d.mp3")});
    document.tagOperations().numberTracks(-1, {});
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Number tracks"));
    EXPECT_EQ(tagsOf(QStringLiteral("d.mp3")).trackNumber, QStringLiteral("-1"));
    EXPECT_EQ(tagsOf(QStringLiteral("c.mp3")).trackNumber, QStringLiteral("0"));
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackNumber, QStringLiteral("1"));
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackTotal, QStringLiteral("3"));
    EXPECT_EQ(tagsOf(QStringLiteral("b.mp3")), readBack(library.url(QStringLiteral("b.mp3"))).tags());
    EXPECT_FALSE(fileNamed(document, QStringLiteral("b.mp3")).isModified());
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).discNumber, QStringLiteral("1"));

    document.tagOperations().numberTracks(5, {TrackTotals::Rule::given, 0});
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackNumber, QStringLiteral("7"));
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackTotal, QStringLiteral("0"));

    // Kept totals: each file keeps its own, whatever was numbered.
    document.tagOperations().numberTracks(2, {TrackTotals::Rule::keep});
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackNumber, QStringLiteral("4"));
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackTotal, QStringLiteral("0"));
    EXPECT_EQ(tagsOf(QStringLiteral("d.mp3")).trackTotal, QStringLiteral("0"));

    // Numbers past the 64-bit range: nothing is numbered.
    const qsizetype steps = undoSteps();
    document.tagOperations().numberTracks(std::numeric_limits<qint64>::max(), {});
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_EQ(tagsOf(QStringLiteral("a.mp3")).trackNumber, QStringLiteral("4"));
}

TEST_F(PatternOperations, RenameMovesFilesAtOnceWithoutOverwriting) {
    // Same tags on both: the second one's name is taken by the first.
    load({QStringLiteral("x.mp3"), QStringLiteral("y.mp3"), QStringLiteral("z.flac")});
    select({QStringLiteral("x.mp3"), QStringLiteral("y.mp3")});
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{track} - {artist}")), 1);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename 2 files"));
    EXPECT_EQ(onDisk(), QStringList({"03 - Fixture Artist.mp3", "y.mp3", "z.flac"}));
    EXPECT_EQ(namesOf(document.files()), QStringList({"03 - Fixture Artist.mp3", "y.mp3", "z.flac"}));
    // Moving a file leaves its tags as they were: nothing to save.
    EXPECT_EQ(document.modifiedCount(), 0);

    // A name that is already the file's own moves nothing, counts nothing and leaves no step.
    select({QStringLiteral("z.flac")});
    EXPECT_EQ(renameAndWait(document, QStringLiteral("z")), 0);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename 2 files"));

    EXPECT_TRUE(undoAndWait(document));
    EXPECT_EQ(onDisk(), QStringList({"x.mp3", "y.mp3", "z.flac"}));
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_TRUE(redoAndWait(document));
    EXPECT_EQ(onDisk(), QStringList({"03 - Fixture Artist.mp3", "y.mp3", "z.flac"}));
}

// Tag values never make or choose a folder; a "/" of the pattern does, below
// the file's own folder, and undo takes the folder away again.
TEST_F(PatternOperations, RenameKeepsValuesInTheNameAndMakesThePatternsFolders) {
    library.add(QStringLiteral("lib/a.mp3"));
    library.add(QStringLiteral("lib/b.mp3"));
    library.add(QStringLiteral("lib/untagged.mp3"), QStringLiteral("untagged.mp3"));
    importAndWait(document, {library.url(QStringLiteral("lib"))});
    select({QStringLiteral("a.mp3")});
    document.editField(TagField::title, QStringLiteral("../escaped"));
    select({QStringLiteral("b.mp3")});
    document.editField(TagField::title, QStringLiteral("AC/DC: Live?"));
    selectAll();

    // "../escaped" would be hidden, the untagged file would be " - .mp3", "" would be ".mp3".
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{title}")), 1);
    EXPECT_EQ(onDisk(QStringLiteral("lib")), QStringList({"AC_DC_ Live_.mp3", "a.mp3", "untagged.mp3"}));
    EXPECT_EQ(renameAndWait(document, QString()), 0);
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{artist} - {title}")), 2);
    EXPECT_TRUE(QFileInfo::exists(library.path(QStringLiteral("lib/untagged.mp3"))));

    EXPECT_TRUE(undoAndWait(document));
    EXPECT_TRUE(undoAndWait(document));
    select({QStringLiteral("b.mp3")});
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{artist}/{album}/{track}")), 1);
    EXPECT_EQ(onDisk(QStringLiteral("lib/Fixture Artist/Fixture Album")), QStringList({"03.mp3"}));
    EXPECT_TRUE(undoAndWait(document));
    EXPECT_EQ(onDisk(QStringLiteral("lib")), QStringList({"a.mp3", "b.mp3", "untagged.mp3"}));
    EXPECT_FALSE(QFileInfo::exists(library.path(QStringLiteral("lib/Fixture Artist"))));
    EXPECT_TRUE(redoAndWait(document));
    EXPECT_EQ(onDisk(QStringLiteral("lib/Fixture Artist/Fixture Album")), QStringList({"03.mp3"}));
}

TEST_F(PatternOperations, RenameIsRefusedDuringASave) {
    auto writer = std::make_shared<ControlledWriter>(QSet<QString>{}, true);
    document.setTagWriter(writer);
    load({QStringLiteral("a.mp3")});
    selectAll();
    document.editField(TagField::title, QStringLiteral("Saving"));
    document.saveAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return writer->writesStarted() == 1; }, 5000));
    const qsizetype steps = undoSteps();
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{title}")), 0);
    EXPECT_EQ(undoSteps(), steps);
    writer->release(1);
    waitForSave(document);
    EXPECT_EQ(onDisk(), QStringList({"a.mp3"}));
}

} // namespace
