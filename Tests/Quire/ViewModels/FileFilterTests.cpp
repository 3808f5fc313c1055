#include "DocumentTestSupport.h"
#include "Quire/ViewModels/FileFilter.h"
#include "Quire/ViewModels/SearchTexts.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace DocumentTest;

namespace {

AudioFile fileAt(const QString& path, const TagSet& tags) {
    return AudioFile(QUuid::createUuid(), QUrl::fromLocalFile(path), AudioFormat::flac, std::nullopt, {},
                     tags, {});
}

// Which of the files a filter text matches, by file name.
QStringList matching(const QString& text, const QList<AudioFile>& files) {
    const FileFilter filter(text);
    QStringList names;
    for (const AudioFile& file : files) {
        if (filter.matches(file))
            names.append(file.filename());
    }
    return names;
}

class FileFilterMatching : public testing::Test {
protected:
    void SetUp() override {
        TagSet first;
        first.title = QStringLiteral("Crème Brûlée");
        first.artist = QStringLiteral("Beyoncé");
        first.albumArtist = QStringLiteral("Various Artists");
        first.album = QStringLiteral("Straße 12:30");
        first.trackNumber = QStringLiteral("3");
        first.year = QStringLiteral("1973-03-01");
        first.custom.insert(QStringLiteral("CATALOGNUMBER"), QStringLiteral("ABC-123"));
        TagSet second;
        second.title = QStringLiteral("Pink Moon");
        second.artist = QStringLiteral("Nick Drake");
        second.trackNumber = QStringLiteral("13");
        second.year = QStringLiteral("1972");
        second.genre = QStringLiteral("Folk");
        TagSet third;
        third.title = QStringLiteral("Side B");
        third.trackNumber = QStringLiteral("B2"); // a vinyl side's track, kept as text
        third.compilation = true;
        files = {fileAt(QStringLiteral("/music/Live/one.flac"), first),
                 fileAt(QStringLiteral("/music/Studio/two.flac"), second),
                 fileAt(QStringLiteral("/music/Studio/three (pink).flac"), third)};
    }
    QList<AudioFile> files;
};

TEST_F(FileFilterMatching, PlainWordsLookEverywhereIgnoringCaseAndMarks) {
    EXPECT_EQ(matching(QString(), files).size(), 3);
    EXPECT_EQ(matching(QStringLiteral("   "), files).size(), 3);
    EXPECT_TRUE(FileFilter(QStringLiteral("  ")).isEmpty());
    EXPECT_EQ(matching(QStringLiteral("beyonce"), files), QStringList{"one.flac"});
    EXPECT_EQ(matching(QStringLiteral("BEYONCÉ"), files), QStringList{"one.flac"});
    EXPECT_EQ(matching(QStringLiteral("creme brulee"), files), QStringList{"one.flac"});
    EXPECT_EQ(matching(QStringLiteral("STRASSE"), files), QStringList{"one.flac"}); // ß folds to ss
    // Decomposed marks, as some file systems and tags store them.
    EXPECT_EQ(matching(QStringLiteral("Beyonce\u0301"), files), QStringList{"one.flac"});
    // Every word must match, each anywhere: a file name, a custom item, a number.
    EXPECT_EQ(matching(QStringLiteral("pink"), files), (QStringList{"two.flac", "three (pink).flac"}));
    EXPECT_EQ(matching(QStringLiteral("pink drake"), files), QStringList{"two.flac"});
    EXPECT_EQ(matching(QStringLiteral("abc-123"), files), QStringList{"one.flac"});
    EXPECT_EQ(matching(QStringLiteral("1972"), files), QStringList{"two.flac"});
    EXPECT_TRUE(matching(QStringLiteral("pink nothing"), files).isEmpty());
    // Quotes keep a phrase together; the words of the phrase must stand in that order.
    EXPECT_EQ(matching(QStringLiteral("\"pink moon\""), files), QStringList{"two.flac"});
    EXPECT_TRUE(matching(QStringLiteral("\"moon pink\""), files).isEmpty());
    // The folder is no plain text: "studio" is in two paths but in no tag or name.
    EXPECT_TRUE(matching(QStringLiteral("studio"), files).isEmpty());
    // Nor is the compilation flag's "1".
    EXPECT_EQ(matching(QStringLiteral("1"), files), (QStringList{"one.flac", "two.flac"}));
}

TEST_F(FileFilterMatching, NamedFieldsLookOnlyThere) {
    EXPECT_TRUE(matching(QStringLiteral("artist:pink"), files).isEmpty());
    EXPECT_EQ(matching(QStringLiteral("title:pink"), files), QStringList{"two.flac"});
    EXPECT_EQ(matching(QStringLiteral("Artist:DRAKE"), files), QStringList{"two.flac"});
    EXPECT_EQ(matching(QStringLiteral("artist:\"nick drake\""), files), QStringList{"two.flac"});
    // The names as users know them, as shown, as stored or as TagLib names them.
    for (const char* name : {"albumartist:various", "\"album artist\":various", "album_artist:various",
                             "ALBUMARTIST:various", "albumArtist:various"})
        EXPECT_EQ(matching(QLatin1String(name), files), QStringList{"one.flac"}) << name;
    EXPECT_EQ(matching(QStringLiteral("genre:folk"), files), QStringList{"two.flac"});
    EXPECT_EQ(matching(QStringLiteral("filename:pink"), files), QStringList{"three (pink).flac"});
    EXPECT_EQ(matching(QStringLiteral("folder:live"), files), QStringList{"one.flac"});
    EXPECT_EQ(matching(QStringLiteral("folder:studio pink"), files),
              (QStringList{"two.flac", "three (pink).flac"}));
    EXPECT_TRUE(matching(QStringLiteral("folder:one"), files).isEmpty()); // the name is not the folder
    // A custom item by its name, in any case.
    EXPECT_EQ(matching(QStringLiteral("catalognumber:abc"), files), QStringList{"one.flac"});
    EXPECT_TRUE(matching(QStringLiteral("catalognumber:xyz"), files).isEmpty());
    EXPECT_TRUE(matching(QStringLiteral("label:abc"), files).isEmpty());
    // A name that names no item the file holds still finds the text as typed.
    EXPECT_EQ(matching(QStringLiteral("12:30"), files), QStringList{"one.flac"});
    // A name still being typed narrows nothing yet.
    EXPECT_EQ(matching(QStringLiteral("artist:"), files).size(), 3);
    EXPECT_EQ(matching(QStringLiteral("compilation:yes"), files), QStringList{"three (pink).flac"});
    EXPECT_EQ(matching(QStringLiteral("compilation:no"), files), (QStringList{"one.flac", "two.flac"}));
}

TEST_F(FileFilterMatching, NumbersMatchByValueAndYearsByText) {
    EXPECT_EQ(matching(QStringLiteral("track:3"), files), QStringList{"one.flac"}); // not 13
    EXPECT_EQ(matching(QStringLiteral("track:03"), files), QStringList{"one.flac"});
    EXPECT_EQ(matching(QStringLiteral("tracknumber:13"), files), QStringList{"two.flac"});
    EXPECT_EQ(matching(QStringLiteral("track:b2"), files), QStringList{"three (pink).flac"});
    EXPECT_EQ(matching(QStringLiteral("year:1973"), files), QStringList{"one.flac"}); // a full date
    EXPECT_EQ(matching(QStringLiteral("year:197"), files), (QStringList{"one.flac", "two.flac"}));
    EXPECT_EQ(matching(QStringLiteral("date:1972"), files), QStringList{"two.flac"});
    EXPECT_TRUE(matching(QStringLiteral("disc:1"), files).isEmpty()); // absent is no number
}

// A filter typed on narrows the one before only where that cannot show a file the wider one hid.
TEST(FileFilterNarrowing, OnlyWordsFoundWithinWordsOfTheSameKindNarrow) {
    const auto narrows = [](const char* narrower, const char* wider) {
        return FileFilter(QString::fromUtf8(narrower)).narrows(FileFilter(QString::fromUtf8(wider)));
    };
    EXPECT_TRUE(narrows("bjö", "bj"));
    EXPECT_TRUE(narrows("björk gudm", "bjork"));
    EXPECT_TRUE(narrows("gudm bjork", "bjork g"));
    EXPECT_TRUE(narrows("filename:01 t", "filename:01"));
    EXPECT_TRUE(narrows("\"sigur ros\"", "sigur"));
    EXPECT_FALSE(narrows("bjork", "bjork gudm"));
    EXPECT_FALSE(narrows("filename:01", "01"));   // a file name is not all of a file's text
    EXPECT_FALSE(narrows("track:12", "track:1")); // track 1 is not track 12
    EXPECT_FALSE(narrows("artist:bjork", "artist:bj"));
}

// Texts folded ahead in the background are those of the records in the list
// when they arrive: never of a file that left it, never of an older record.
TEST(SearchTexts, FoldedAheadForTheListAsItStands) {
    QList<AudioFile> files;
    for (const QString& artist :
         {QStringLiteral("Björk"), QStringLiteral("Sigur Rós"), QStringLiteral("Múm")}) {
        TagSet tags;
        tags.artist = artist;
        files.append(fileAt(QStringLiteral("/music/%1.flac").arg(files.size()), tags));
    }
    SearchTexts texts([&]() -> const QList<AudioFile>& { return files; });
    QSignalSpy folded(&texts, &SearchTexts::foldedAhead);
    texts.listChanged({files[0].id(), files[1].id(), files[2].id()});
    texts.foldAhead();
    // While the fold runs: a file leaves the list, another changes and is looked up.
    const QUuid gone = files.takeLast().id();
    texts.forget({gone});
    TagSet renamed = files[0].tags();
    renamed.artist = QStringLiteral("Björk Guðmundsdóttir");
    files[0].setTags(renamed);
    EXPECT_TRUE(texts.of(files[0]).contains(u"guðmundsdottir"));
    ASSERT_TRUE(folded.wait(5000));
    EXPECT_EQ(texts.count(), 2);
    EXPECT_TRUE(texts.of(files[0]).contains(u"guðmundsdottir"));
    EXPECT_EQ(texts.count(), 2);
    texts.foldAhead(); // nothing left to fold
    EXPECT_FALSE(texts.isFolding());
    EXPECT_TRUE(texts.of(files[1]).contains(u"sigur ros"));
}

// A large list is matched in parts on several threads: the files shown are those the filter matches,
// whether their texts were folded before or not, typed on or typed back.
TEST(DocumentFilter, ALargeListShowsWhatTheFilterMatches) {
    DocumentViewModel document;
    document.setTagReader(std::make_shared<MockTagReader>());
    QList<QUrl> locations;
    for (int i = 0; i < 6000; ++i)
        locations.append(QUrl::fromLocalFile(QStringLiteral("/music/%1 Song %2.mp3").arg(i % 7).arg(i)));
    importAndWait(document, locations);
    // Texts are folded on the first filter, read on the others.
    for (const QString& typed : {QStringLiteral("song"), QString(), QStringLiteral("song"),
                                 QStringLiteral("12"), QStringLiteral("123"), QStringLiteral("3 song 123"),
                                 QStringLiteral("23"), QStringLiteral("filename:song 5")}) {
        document.setFilterText(typed);
        const FileFilter filter(typed);
        QStringList expected;
        for (const AudioFile& file : document.files()) {
            if (filter.matches(file))
                expected.append(file.filename());
        }
        EXPECT_FALSE(expected.isEmpty()) << qPrintable(typed);
        EXPECT_EQ(namesOf(document.shownFiles()), expected) << qPrintable(typed);
    }
}

// The document shows the files its filter matches, and whatever acts on the
// files acts on those.
TEST(DocumentFilter, TheSelectionAndOperationsKeepToTheShownFiles) {
    Library library;
    DocumentViewModel document;
    importAndWait(document, {library.add(QStringLiteral("a.flac"), QStringLiteral("tagged.flac")),
                             library.add(QStringLiteral("b.flac"), QStringLiteral("tagged.flac")),
                             library.add(QStringLiteral("c.flac"), QStringLiteral("tagged.flac"))});
    const QList<QUuid> ids = idsOf(document.files());
    ASSERT_EQ(ids.size(), 3);
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Björk"), ids[0]).ok());
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Bjork Tribute"), ids[2]).ok());
    // Typed on, then back to a filter that matches more.
    document.setFilterText(QStringLiteral("bjo"));
    EXPECT_EQ(namesOf(document.shownFiles()), (QStringList{"a.flac", "c.flac"}));
    document.setFilterText(QStringLiteral("bjork trib"));
    EXPECT_EQ(namesOf(document.shownFiles()), QStringList{"c.flac"});
    document.setFilterText(QStringLiteral("bjor"));
    EXPECT_EQ(namesOf(document.shownFiles()), (QStringList{"a.flac", "c.flac"}));
    document.setFilterText({});
    document.setSelectedFiles({ids[0], ids[1]});

    QSignalSpy filterChanges(&document, &DocumentViewModel::filterChanged);
    document.setFilterText(QStringLiteral("bjork"));
    EXPECT_EQ(filterChanges.count(), 1);
    EXPECT_EQ(namesOf(document.shownFiles()), (QStringList{"a.flac", "c.flac"}));
    EXPECT_EQ(document.shownCount(), 2);
    // The hidden file leaves the selection, and cannot be selected while hidden.
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{ids[0]});
    document.setSelectedFiles({ids[1], ids[2]});
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{ids[2]});
    document.selectAll();
    EXPECT_EQ(document.selectedFiles(), (QSet<QUuid>{ids[0], ids[2]}));

    // A find and replace in "all files" reaches the shown ones only.
    document.setSelectedFiles({});
    const QString hiddenAlbum = document.files()[1].tags().album.value_or(QString());
    ASSERT_FALSE(hiddenAlbum.isEmpty());
    EXPECT_EQ(document.tagOperations().findAndReplace(hiddenAlbum, QStringLiteral("Renamed"), false, false,
                                                      {TagField::album}, true),
              2);
    EXPECT_EQ(document.files()[1].tags().album, hiddenAlbum);

    // An edited file that stops matching stays shown until the text changes.
    document.setSelectedFiles({ids[2]});
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Someone Else")).ok());
    EXPECT_EQ(namesOf(document.shownFiles()), (QStringList{"a.flac", "c.flac"}));
    // A hidden file that comes to match is shown, and an imported one that matches too.
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Björk"), ids[1]).ok());
    EXPECT_EQ(document.shownCount(), 3);
    importAndWait(document, {library.add(QStringLiteral("d.flac"), QStringLiteral("tagged.flac"))});
    EXPECT_EQ(document.shownCount(), 3);
    EXPECT_EQ(document.files().size(), 4);
    document.setFilterText(QStringLiteral("bjork "));
    EXPECT_EQ(namesOf(document.shownFiles()), (QStringList{"a.flac", "b.flac"}));
    EXPECT_TRUE(document.selectedFiles().isEmpty());

    // Undo brings back a selection only as far as it is shown.
    document.setFilterText(QStringLiteral("filename:a.flac"));
    document.undo(); // the import
    EXPECT_EQ(document.files().size(), 3);
    EXPECT_TRUE(document.selectedFiles().isEmpty()); // it held c.flac, which is hidden

    document.setFilterText({});
    EXPECT_FALSE(document.isFiltering());
    EXPECT_EQ(document.shownCount(), 3);
    document.selectAll();
    EXPECT_EQ(document.selectedFiles().size(), 3);
}

} // namespace
