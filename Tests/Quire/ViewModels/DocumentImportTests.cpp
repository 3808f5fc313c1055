#include "DocumentTestSupport.h"
#include "Quire/ViewModels/ImportCandidates.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace DocumentTest;

namespace {

// Locations of files the gated reader makes up: "/nowhere/track 00.mp3" and on.
QList<QUrl> madeUpTracks(int count) {
    QList<QUrl> locations;
    for (int i = 0; i < count; ++i)
        locations.append(
            QUrl::fromLocalFile(QStringLiteral("/nowhere/track %1.mp3").arg(i, 2, 10, QChar(u'0'))));
    return locations;
}

const QString failureHeading =
    QStringLiteral("Couldn’t read these files. They haven’t been added or changed:\n");

TEST(DocumentImport, KeepsSupportedFilesOnceAndSelectsTheFirst) {
    Library library;
    library.add(QStringLiteral("b.mp3"));
    library.folder().write(QStringLiteral("notes.txt"), "text");
    library.add(QStringLiteral("sub/a.flac"), QStringLiteral("tagged.flac"));
    library.add(QStringLiteral("sub/.hidden.ogg"), QStringLiteral("tagged.ogg"));
    ASSERT_EQ(::symlink(library.path(QStringLiteral("b.mp3")).toLocal8Bit(),
                        library.path(QStringLiteral("link.mp3")).toLocal8Bit()),
              0);

    DocumentViewModel document;
    // The folder, a file inside it again, and a link to a file in it: each file once.
    importAndWait(document, {library.url(), library.url(QStringLiteral("b.mp3")),
                             library.url(QStringLiteral("sub/../b.mp3"))});
    EXPECT_EQ(namesOf(document.files()), QStringList({".hidden.ogg", "a.flac", "b.mp3"}));
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Import 3 files"));
    EXPECT_EQ(noticeText(document), std::nullopt);
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{document.files().first().id()});
    EXPECT_EQ(document.importProgress(), (ImportProgress{3, 3}));
    EXPECT_EQ(document.modifiedCount(), 0);

    // Everything already loaded: nothing happens, no undo step.
    importAndWait(document, {library.url(QStringLiteral("link.mp3")), library.url()});
    EXPECT_EQ(document.files().size(), 3);
    EXPECT_EQ(document.history().undoDescriptions().size(), 1);
}

TEST(DocumentImport, UnreadableFilesAreNamedWithTheReasonAndTheRestKept) {
    Library library;
    library.add(QStringLiteral("good.mp3"));
    library.add(QStringLiteral("also good.opus"), QStringLiteral("tagged.opus"));
    library.add(QStringLiteral("broken.flac"), QStringLiteral("corrupt.flac"));
    library.add(QStringLiteral("empty.m4a"), QStringLiteral("empty.mp3"));
    library.add(QStringLiteral("text.mp3"), QStringLiteral("not-audio.mp3"));
    library.add(QStringLiteral("rf64.wav"), QStringLiteral("rf64.wav"));
    library.add(QStringLiteral("two streams.ogg"), QStringLiteral("two-streams.ogg"));
    // Latin-1 names, as libraries copied from older systems have them: a file, and a folder's.
    const QByteArray root = QFile::encodeName(library.folder().path());
    for (const QByteArray& name : {QByteArray("/caf\xe9.mp3"), QByteArray("/d\xe9j\xe0/vu.mp3")}) {
        ASSERT_EQ(::mkdir((root + "/d\xe9j\xe0").constData(), 0755) == 0 || errno == EEXIST, true);
        ASSERT_EQ(::link(QFile::encodeName(library.path(QStringLiteral("good.mp3"))).constData(),
                         (root + name).constData()),
                  0);
    }

    DocumentViewModel document;
    importAndWait(document, {library.url()});
    EXPECT_EQ(namesOf(document.files()), QStringList({"also good.opus", "good.mp3"}));
    // Two notices: the names that are not UTF-8 are heard of as soon as the folder is walked.
    const QList<Notice> notices = document.notices().all();
    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[1].kind, Notice::Kind::import);
    EXPECT_TRUE(notices[1].text.startsWith(failureHeading));
    QStringList failed = notices[1].text.mid(failureHeading.size()).split(u'\n');
    failed.sort();
    EXPECT_EQ(failed, QStringList({
                          "broken.flac: Read error: The file is damaged or is not a FLAC file",
                          "empty.m4a: The file is empty",
                          "rf64.wav: RF64 WAV files are not supported",
                          "text.mp3: Read error: No MPEG audio was found in the file",
                          "two streams.ogg: Ogg files with several streams are not supported",
                      }));
    QStringList failedPaths = notices[1].files;
    failedPaths.sort();
    EXPECT_EQ(
        failedPaths,
        QStringList({library.path(QStringLiteral("broken.flac")), library.path(QStringLiteral("empty.m4a")),
                     library.path(QStringLiteral("rf64.wav")), library.path(QStringLiteral("text.mp3")),
                     library.path(QStringLiteral("two streams.ogg"))}));
    // Named with the cause, not as unreadable.
    EXPECT_EQ(notices[0].kind, Notice::Kind::import);
    QStringList misnamed = notices[0].text.split(u'\n');
    EXPECT_EQ(misnamed.takeFirst(), QStringLiteral("These files have names that aren’t valid UTF-8, so they "
                                                   "can’t be opened. Rename them and add them again:"));
    misnamed.sort();
    EXPECT_EQ(misnamed, QStringList({library.path(QStringLiteral("caf\uFFFD.mp3")),
                                     library.path(QStringLiteral("d\uFFFDj\uFFFD/vu.mp3"))}));
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Import 7 files"));

    // Undoing an import restores the list from before it.
    document.undo();
    EXPECT_TRUE(document.files().isEmpty());
    EXPECT_TRUE(document.selectedFiles().isEmpty());
}

// Damaged tags: the fields around the damage are shown, and one notice names the files.
TEST(DocumentImport, FilesReadInPartShowWhatCouldBeReadAndAreNamedOnce) {
    Library library;
    library.add(QStringLiteral("zero.mp3"), QStringLiteral("zero-size-frame.mp3"));
    library.add(QStringLiteral("short.flac"), QStringLiteral("bad-comment-length.flac"));
    library.add(QStringLiteral("whole.mp3"));
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    ASSERT_EQ(document.files().size(), 3);

    const AudioFile& zero = fileNamed(document, QStringLiteral("zero.mp3"));
    EXPECT_TRUE(zero.isReadInPart());
    EXPECT_EQ(zero.tags().title, QStringLiteral("Zero Title"));       // before the empty frame
    EXPECT_EQ(zero.tags().composer, QStringLiteral("Zero Composer")); // after it
    EXPECT_EQ(zero.tags().trackTotal, QStringLiteral("9"));
    const AudioFile& flac = fileNamed(document, QStringLiteral("short.flac"));
    EXPECT_TRUE(flac.isReadInPart());
    EXPECT_EQ(flac.tags().title, QStringLiteral("Short Length"));
    EXPECT_EQ(flac.tags().genre, QStringLiteral("Ambient"));
    EXPECT_FALSE(fileNamed(document, QStringLiteral("whole.mp3")).isReadInPart());
    EXPECT_TRUE(AudioFile::fromJson(zero.toJson()).value().isReadInPart()) << "kept in the journal";

    const QList<Notice> notices = document.notices().all();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].kind, Notice::Kind::readInPart);
    QStringList lines = notices[0].text.split(u'\n');
    EXPECT_EQ(lines.takeFirst(),
              QStringLiteral("The tags of these files are partly damaged and could be read "
                             "only in part. Saving them is refused where it would lose "
                             "the damaged part:"));
    lines.sort();
    EXPECT_EQ(lines, QStringList({"short.flac", "zero.mp3"}));
    QStringList paths = notices[0].files;
    paths.sort();
    EXPECT_EQ(paths, QStringList({library.path(QStringLiteral("short.flac")),
                                  library.path(QStringLiteral("zero.mp3"))}));
}

TEST(DocumentImport, ReadsAtMostEightAtOnceAndShowsFilesInOrderAsReadsFinish) {
    auto reader = std::make_shared<GatedReader>();
    DocumentViewModel document;
    document.setTagReader(reader);
    const QList<QUrl> locations = madeUpTracks(60);

    // Files shown stand in sort order all along, so rows shown keep their order as more arrive.
    QList<qsizetype> sizesSeen;
    bool alwaysInOrder = true;
    QObject::connect(&document, &DocumentViewModel::filesChanged, [&] {
        sizesSeen.append(document.files().size());
        const QStringList names = namesOf(document.files());
        alwaysInOrder = alwaysInOrder && std::is_sorted(names.begin(), names.end());
    });
    document.importFiles(locations);
    EXPECT_TRUE(document.isLoading());
    // Files given by name are found in a moment: the first at once, the rest in one more portion.
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.importProgress().total == 60; }, 10000));
    EXPECT_EQ(document.importProgress(), (ImportProgress{60, 0}));
    // The window fills up to eight reads and no further.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return reader->inFlight() == DocumentViewModel::maxConcurrentReads; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(reader->inFlight(), DocumentViewModel::maxConcurrentReads);

    // Locations handed over while loading are imported afterwards, as their own step.
    document.importFiles({QUrl::fromLocalFile(QStringLiteral("/nowhere/late.mp3")), locations.first()});
    reader->release(1000);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !document.isLoading() && document.files().size() == 61; }, 20000));
    EXPECT_EQ(reader->maxInFlight(), DocumentViewModel::maxConcurrentReads);
    // Growing batches up to the 60, then the queued import's file.
    ASSERT_GE(sizesSeen.size(), 2);
    EXPECT_TRUE(std::is_sorted(sizesSeen.begin(), sizesSeen.end()));
    EXPECT_TRUE(sizesSeen.contains(60));
    EXPECT_EQ(sizesSeen.last(), 61);
    EXPECT_TRUE(alwaysInOrder);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Import 1 files"));
    EXPECT_EQ(document.history().undoDescriptions().size(), 2);
    QStringList sorted = namesOf(document.files());
    QStringList expected = sorted;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
}

// Files of a later import fall into place among those shown: before, between and after them, and after
// files of the same name in a folder that sorts first.
TEST(DocumentImport, FilesOfALaterImportFallIntoPlaceAmongThoseShown) {
    DocumentViewModel document;
    document.setTagReader(std::make_shared<MockTagReader>());
    const auto track = [](const QString& folder, int number) {
        return QUrl::fromLocalFile(QStringLiteral("/%1/t%2.mp3").arg(folder).arg(number, 3, 10, QChar(u'0')));
    };
    QList<QUrl> first, later;
    for (int number = 10; number < 200; number += 2)
        first.append(track(QStringLiteral("b"), number));
    for (int number = 1; number < 300; number += 17)
        later.append(track(number % 2 ? QStringLiteral("b") : QStringLiteral("a"), number));
    later.append(track(QStringLiteral("c"), 0));
    importAndWait(document, first);
    importAndWait(document, later);

    QStringList paths;
    for (const AudioFile& file : document.files())
        paths.append(file.path());
    QStringList expected;
    for (const QUrl& location : first + later)
        expected.append(location.toLocalFile());
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        const QString nameA = QFileInfo(a).fileName(), nameB = QFileInfo(b).fileName();
        return nameA != nameB ? nameA < nameB : a < b;
    });
    EXPECT_EQ(paths, expected);
}

// The counts the window shows follow each step, also where only a few of many files change.
TEST(DocumentList, CountsOfModifiedFilesAndFilesWithPicturesFollowEachStep) {
    DocumentViewModel document;
    document.setTagReader(std::make_shared<MockTagReader>());
    importAndWait(document, madeUpTracks(40));
    const QList<QUuid> ids = idsOf(document.files());
    const auto expectCountsAsTheFilesStand = [&](const char* step) {
        qsizetype modified = 0, withPictures = 0;
        for (const AudioFile& file : document.shownFiles()) {
            withPictures += !file.artwork().isEmpty();
        }
        for (const AudioFile& file : document.files())
            modified += file.isModified();
        EXPECT_EQ(document.modifiedCount(), modified) << step;
        EXPECT_EQ(document.filesWithArtworkCount(), withPictures) << step;
    };
    expectCountsAsTheFilesStand("opened");
    const Artwork cover = Artwork::holding(TestSupport::encodedImage(8, 8, "PNG"), ImageFormat::png,
                                           ArtworkType::frontCover, std::nullopt);

    document.setSelectedFiles({ids[3]});
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Edited")).ok());
    expectCountsAsTheFilesStand("one file edited");
    document.setSelectedFiles({ids[5]});
    document.artworkOperations().setArtwork(cover);
    expectCountsAsTheFilesStand("a picture set");
    document.undo();
    expectCountsAsTheFilesStand("undone");
    document.redo();
    expectCountsAsTheFilesStand("redone");
    document.setFilterText(QStringLiteral("track 0"));
    ASSERT_LT(document.shownCount(), 40);
    document.setSelectedFiles({ids[7]});
    document.artworkOperations().setArtwork(cover);
    expectCountsAsTheFilesStand("a picture set while filtered");
    document.setFilterText({});
    document.setSelectedFiles({ids[5]});
    document.artworkOperations().removeArtwork();
    expectCountsAsTheFilesStand("a picture removed");
    document.setSelectedFiles({ids[3]});
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("track 03")).ok());
    expectCountsAsTheFilesStand("edited back");
}

// A large folder's first files are read while the rest is walked: a folder's files go on once it has been
// listed to its end (a leftover of a save listed after them is put right first), each file once.
TEST(ImportCandidates, HandsEachFolderOverOnceListedAndEveryFileOnce) {
    Library library;
    for (int album = 0; album < 3; ++album) {
        for (int track = 0; track < 3; ++track)
            library.add(QStringLiteral("Artist/Album %1/%2.mp3").arg(album).arg(track));
    }
    library.add(QStringLiteral("Artist/loose.mp3"));
    const QUrl given = library.url(QStringLiteral("Artist/Album 1/0.mp3"));

    QList<ImportCandidates::Portion> portions;
    ImportCandidates({library.url(), given}, {library.url(QStringLiteral("Artist/Album 2/2.mp3"))})
        .run([&](ImportCandidates::Portion portion) { portions.append(portion); });
    ASSERT_GE(portions.size(), 2);
    QSet<QString> firstFolders;
    for (const QUrl& file : std::as_const(portions.first().files))
        firstFolders.insert(QFileInfo(file.toLocalFile()).dir().dirName());
    EXPECT_EQ(firstFolders.size(), 1);
    EXPECT_EQ(portions.first().files.size(), firstFolders.contains(QStringLiteral("Album 2")) ? 2 : 3);
    QStringList all;
    for (const ImportCandidates::Portion& portion : std::as_const(portions)) {
        for (const QUrl& file : portion.files)
            all.append(QDir(library.path()).relativeFilePath(file.toLocalFile()));
    }
    EXPECT_EQ(all.size(), 9); // the loaded file left out, the one given again taken once
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 9);
    EXPECT_EQ(all.last(), QStringLiteral("Artist/loose.mp3"));
}

// Rows shown while an import goes on can be edited; the files that arrive after an edit are not lost by
// undoing it, and the import stays one step that takes every file it brought away.
TEST(DocumentImport, EditsMadeWhileFilesArriveAreUndoneWithoutLosingLaterFiles) {
    auto reader = std::make_shared<GatedReader>();
    DocumentViewModel document;
    document.setTagReader(reader);
    const QList<QUrl> locations = madeUpTracks(30);
    document.importFiles(locations);
    reader->release(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.files().size() == 5; }, 10000));
    document.setSelectedFiles({document.files().first().id()});
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Edited")).value());
    reader->release(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.files().size() == 15; }, 10000));
    document.setSelectedFiles({document.files().last().id()});
    ASSERT_TRUE(document.editField(TagField::comment, QStringLiteral("Late")).value());
    reader->release(1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !document.isLoading(); }, 10000));
    ASSERT_EQ(document.files().size(), 30);
    EXPECT_EQ(document.history().undoDescriptions(),
              (QStringList{QStringLiteral("Import 30 files"), QStringLiteral("Edit Title"),
                           QStringLiteral("Edit Comment")}));

    const auto titles = [&] {
        int edited = 0;
        for (const AudioFile& file : document.files())
            edited += file.tags().title == QStringLiteral("Edited");
        return edited;
    };
    const auto comments = [&] {
        int late = 0;
        for (const AudioFile& file : document.files())
            late += file.tags().comment == QStringLiteral("Late");
        return late;
    };
    ASSERT_TRUE(undoAndWait(document));
    EXPECT_EQ(document.files().size(), 30);
    EXPECT_EQ(std::pair(titles(), comments()), std::pair(1, 0));
    ASSERT_TRUE(undoAndWait(document));
    EXPECT_EQ(document.files().size(), 30);
    EXPECT_EQ(std::pair(titles(), comments()), std::pair(0, 0));
    ASSERT_TRUE(undoAndWait(document));
    EXPECT_TRUE(document.files().isEmpty());
    ASSERT_TRUE(redoAndWait(document) && redoAndWait(document) && redoAndWait(document));
    EXPECT_EQ(document.files().size(), 30);
    EXPECT_EQ(std::pair(titles(), comments()), std::pair(1, 1));
}

TEST(DocumentList, SortingNotifiesOnlyARealChangeAndRemovalIsUndoable) {
    Library library;
    library.add(QStringLiteral("a.mp3"));
    library.add(QStringLiteral("b.mp3"), QStringLiteral("untagged.mp3"));
    library.add(QStringLiteral("c.flac"), QStringLiteral("tagged.flac"));
    DocumentViewModel document;
    importAndWait(document, {library.url()});

    QSignalSpy filesChanged(&document, &DocumentViewModel::filesChanged);
    document.sortFiles();
    EXPECT_EQ(filesChanged.count(), 0);
    document.setSortOrder({{SortKey::format, true}, {SortKey::filename, false}});
    document.sortFiles();
    EXPECT_EQ(filesChanged.count(), 1);
    EXPECT_EQ(namesOf(document.files()), QStringList({"c.flac", "b.mp3", "a.mp3"}));

    const QUuid removed = fileNamed(document, QStringLiteral("b.mp3")).id();
    document.editField(TagField::title, QStringLiteral("Edited"), removed);
    document.setSelectedFiles({removed});
    document.removeSelectedFromList();
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Remove 1 file from list"));
    EXPECT_EQ(document.files().size(), 2);
    EXPECT_TRUE(document.selectedFiles().isEmpty());
    document.undo();
    EXPECT_EQ(document.files().size(), 3);
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{removed});
    // The mark is computed against the file's saved state: the edit is still unsaved.
    EXPECT_TRUE(fileNamed(document, QStringLiteral("b.mp3")).isModified());
    EXPECT_EQ(document.editState()->stringValue(TagField::title), QStringLiteral("Edited"));
}

// Steps keep only what changed; going back and forth through a history of
// edits of a large library must still give every state exactly.
TEST(DocumentSnapshots, UndoAndRedoThroughALargeLibraryGiveEveryStateBack) {
    DocumentViewModel document;
    document.setTagReader(std::make_shared<MockTagReader>());
    auto now = std::chrono::steady_clock::now();
    document.history().setClock([&now] { return now; });
    QList<QUrl> locations;
    for (int i = 0; i < 5000; ++i)
        locations.append(QUrl::fromLocalFile(QStringLiteral("/nowhere/%1.mp3").arg(i)));
    importAndWait(document, locations);
    ASSERT_EQ(document.files().size(), 5000);

    QList<FileSnapshot> states{document.snapshot()};
    const auto step = [&](const std::function<void()>& change) {
        now += std::chrono::seconds(5);
        change();
        states.append(document.snapshot());
    };
    QSet<QUuid> all, some;
    for (const AudioFile& file : document.files()) {
        all.insert(file.id());
        if (some.size() < 300)
            some.insert(file.id());
    }
    step([&] {
        document.setSelectedFiles(all);
        document.editField(TagField::genre, QStringLiteral("Rock"));
    });
    step([&] { document.editField(TagField::genre, QStringLiteral("Jazz")); });
    step([&] { document.editField(TagField::title, QStringLiteral("Z"), document.files()[17].id()); });
    step([&] { document.editField(TagField::title, QStringLiteral("A"), document.files()[40].id()); });
    step([&] {
        document.setSelectedFiles(some);
        document.editField(TagField::year, QStringLiteral("1999"));
    });
    step([&] { document.removeSelectedFromList(); });
    ASSERT_EQ(document.history().undoDescriptions().size(), 7); // the import and six edits

    const auto filesOf = [](const FileSnapshot& state) { return state.files; };
    for (qsizetype i = states.size() - 2; i >= 0; --i) {
        document.undo();
        ASSERT_EQ(document.files(), filesOf(states[i])) << "after undoing to state " << i;
    }
    for (qsizetype i = 1; i < states.size(); ++i) {
        document.redo();
        ASSERT_EQ(document.files(), filesOf(states[i])) << "after redoing to state " << i;
    }
}

} // namespace

// Two files that differ only in one column's value (and, for the format, in a
// file name that sorts the other way) sort by that value, numbers as numbers.
TEST(DocumentList, EveryColumnSortsByItsOwnValue) {
    const auto file = [](const char* name, const TagSet& tags, const AudioProperties& properties) {
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/music/") + QString::fromUtf8(name));
        return AudioFile(QUuid::createUuid(), url, detectAudioFormat(url).value_or(AudioFormat::mp3),
                         std::nullopt, properties, tags, {});
    };
    const auto tags = [](const char* title, const char* artist, const char* album, qint64 track) {
        TagSet set;
        set.title = QString::fromUtf8(title), set.artist = QString::fromUtf8(artist);
        set.album = QString::fromUtf8(album), set.trackNumber = QString::number(track);
        return set;
    };
    const AudioProperties plain{100, 128, 44100, 2, {}};
    const TagSet same = tags("T", "M", "M", 1);
    const struct {
        SortKey key;
        AudioFile first, second;
    } cases[] = {
        {SortKey::filename, file("a.mp3", same, plain), file("b.mp3", same, plain)},
        {SortKey::title, file("x.mp3", tags("Alpha", "M", "M", 1), plain), file("x.mp3", same, plain)},
        {SortKey::artist, file("x.mp3", tags("T", "Alpha", "M", 1), plain), file("x.mp3", same, plain)},
        {SortKey::album, file("x.mp3", tags("T", "M", "Alpha", 1), plain), file("x.mp3", same, plain)},
        {SortKey::track, file("x.mp3", tags("T", "M", "M", 2), plain),
         file("x.mp3", tags("T", "M", "M", 10), plain)},
        {SortKey::duration, file("x.mp3", same, plain), file("x.mp3", same, {300, 128, 44100, 2, {}})},
        {SortKey::format, file("b.flac", same, plain), file("a.mp3", same, plain)},
        {SortKey::bitrate, file("x.mp3", same, {100, 96, 44100, 2, {}}),
         file("x.mp3", same, {100, 1000, 44100, 2, {}})},
        {SortKey::sampleRate, file("x.mp3", same, {100, 128, 8000, 2, {}}), file("x.mp3", same, plain)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key));
        EXPECT_LT((SortDescriptor{c.key, true}.compare(c.first, c.second)), 0);
        EXPECT_GT((SortDescriptor{c.key, true}.compare(c.second, c.first)), 0);
        EXPECT_GT((SortDescriptor{c.key, false}.compare(c.first, c.second)), 0);
        EXPECT_EQ((SortDescriptor{c.key, true}.compare(c.first, c.first)), 0);
        // The numbers a large sort compares instead order the same way.
        const SortDescriptor ascending{c.key, true};
        if (const auto first = ascending.numbers(c.first)) {
            EXPECT_TRUE(*first < *ascending.numbers(c.second));
        }
    }
}

// Names sort as people read them, and an album keeps its discs and tracks in order.
TEST(DocumentList, SortsByLanguageAndNumberValueAndKeepsAlbumsInTrackOrder) {
    const auto file = [](const char* title, const char* album, qint64 disc, qint64 track) {
        TagSet tags;
        tags.title = QString::fromUtf8(title), tags.album = QString::fromUtf8(album);
        tags.discNumber = QString::number(disc), tags.trackNumber = QString::number(track);
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/music/x.mp3"));
        return AudioFile(QUuid::createUuid(), url, AudioFormat::mp3, std::nullopt, {}, tags, {});
    };
    const auto order = [](QList<AudioFile> files, SortKey key) {
        std::stable_sort(files.begin(), files.end(), [key](const AudioFile& a, const AudioFile& b) {
            return SortDescriptor{key, true}.compare(a, b) < 0;
        });
        QStringList titles;
        for (const AudioFile& file : files)
            titles.append(file.tags().title.value_or(QString()));
        return titles;
    };
    const QList<AudioFile> files{file("Zappa", "B", 2, 1), file("track 10", "A", 1, 2),
                                 file("Élan", "B", 1, 3), file("abba", "B", 1, 10),
                                 file("track 2", "A", 1, 1)};
    EXPECT_EQ(order(files, SortKey::title), QStringList({"abba", "Élan", "track 2", "track 10", "Zappa"}));
    EXPECT_EQ(order(files, SortKey::album), QStringList({"track 2", "track 10", "Élan", "abba", "Zappa"}));
    EXPECT_EQ(order(files, SortKey::track), QStringList({"track 2", "track 10", "Élan", "abba", "Zappa"}));
}

// Numbers by value, no track as 0, equal numbers by path in either direction.
TEST(DocumentList, SortsTracksByNumberThenTextEitherWay) {
    Library library;
    for (const char* name : {"a", "b", "c", "d"})
        library.add(QString::fromUtf8(name) + QStringLiteral(".mp3"));
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    const QStringList tracks = {QStringLiteral("2"), QStringLiteral("10"), QString(), QStringLiteral("2")};
    for (qsizetype i = 0; i < tracks.size(); ++i)
        ASSERT_TRUE(document.editField(TagField::trackNumber, tracks[i], document.files()[i].id()).ok());
    const auto namesSortedBy = [&](bool ascending) {
        document.setSortOrder({{SortKey::track, ascending}});
        document.sortFiles();
        return namesOf(document.files());
    };
    EXPECT_EQ(namesSortedBy(true), QStringList({"c.mp3", "a.mp3", "d.mp3", "b.mp3"}));
    EXPECT_EQ(namesSortedBy(false), QStringList({"b.mp3", "a.mp3", "d.mp3", "c.mp3"}));
}

// Equal under the sort keys, files go by their paths, whichever read ended first.
TEST(DocumentList, FilesEqualUnderTheSortKeysGoByTheirPaths) {
    Library library;
    for (const char* folder : {"d", "b", "c", "a"})
        library.add(QString::fromUtf8(folder) + QStringLiteral("/same.mp3"));
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    QStringList folders;
    for (const AudioFile& file : document.files())
        folders.append(QFileInfo(file.url().toLocalFile()).dir().dirName());
    EXPECT_EQ(folders, QStringList({"a", "b", "c", "d"}));
}
