#include "DocumentTestSupport.h"

#include "CTagLibBridge.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace DocumentTest;

namespace {

class SavingTest : public testing::Test {
protected:
    void load(std::shared_ptr<ControlledWriter> controlled = std::make_shared<ControlledWriter>()) {
        writer = std::move(controlled);
        for (const char* name : {"1.mp3", "2.mp3", "3.mp3"})
            library.add(QString::fromUtf8(name));
        document.setTagWriter(writer);
        importAndWait(document, {library.url()});
        ids = idsOf(document.files());
        document.setSelectedFiles({ids.begin(), ids.end()});
    }

    Library library;
    DocumentViewModel document;
    std::shared_ptr<ControlledWriter> writer;
    QList<QUuid> ids;
};

TEST_F(SavingTest, AFailedFileKeepsItsMarkAndIsListed) {
    load(std::make_shared<ControlledWriter>(QSet<QString>{QStringLiteral("2.mp3")}));
    document.editField(TagField::title, QStringLiteral("Saved Title"));
    QList<qint64> progress;
    QObject::connect(&document, &DocumentViewModel::saveProgressChanged,
                     [&] { progress.append(document.saveProgress().completed); });

    document.saveAll();
    EXPECT_TRUE(document.isSaving());
    waitForSave(document);
    EXPECT_EQ(progress, QList<qint64>({0, 1, 2, 3}));
    EXPECT_FALSE(document.files()[0].isModified());
    EXPECT_TRUE(document.files()[1].isModified());
    EXPECT_FALSE(document.files()[2].isModified());
    EXPECT_TRUE(document.files()[0].lastSaved().has_value());
    EXPECT_FALSE(document.files()[1].lastSaved().has_value());
    EXPECT_EQ(noticeText(document), QStringLiteral("2.mp3: Failed to write tags to file"));
    EXPECT_EQ(readBack(document.files()[2].url()).tags().title, QStringLiteral("Saved Title"));

    // Undo after the save brings back tags that differ from the disk: modified.
    document.undo();
    EXPECT_TRUE(document.files()[0].isModified());
    EXPECT_FALSE(document.files()[1].isModified()); // its write failed: the disk has the old tags
    document.redo();
    EXPECT_FALSE(document.files()[0].isModified());
}

// Each refused save names its file and says why, in words the user can act on.
TEST(DocumentSavingReasons, EveryRefusedSaveSaysWhy) {
    Library library;
    library.add(QStringLiteral("gone.mp3"));
    library.add(QStringLiteral("locked.mp3"));
    library.add(QStringLiteral("long.m4a"), QStringLiteral("tagged.m4a"));
    library.add(QStringLiteral("old.mp3"), QStringLiteral("v22-crm.mp3"));
    library.add(QStringLiteral("twice.aiff"), QStringLiteral("two-id3-chunks.aiff"));
    TestSupport::SmallFileSystem fileSystem("1M");
    const QString mounted = fileSystem.filePath(QStringLiteral("mounted.mp3"));
    QList<QUrl> locations = {library.url()};
    if (fileSystem.mounted() && QFile::copy(TestSupport::fixturePath(QStringLiteral("tagged.mp3")), mounted))
        locations.append(QUrl::fromLocalFile(mounted));
    DocumentViewModel document;
    importAndWait(document, locations);
    ASSERT_EQ(document.files().size(), locations.size() + 4);

    ASSERT_TRUE(QFile::remove(library.path(QStringLiteral("gone.mp3"))));
    // No write permission for anyone: read-only even for root.
    ASSERT_TRUE(QFile::setPermissions(library.path(QStringLiteral("locked.mp3")), QFile::ReadOwner));
    const QByteArray mountPoint = QFile::encodeName(fileSystem.path());
    const bool readOnlyMount = locations.size() == 2 && ::mount(nullptr, mountPoint.constData(), nullptr,
                                                                MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    const QList<QUuid> ids = idsOf(document.files());
    document.setSelectedFiles(QSet<QUuid>(ids.begin(), ids.end()));
    document.editField(TagField::trackNumber, QStringLiteral("70000"));
    document.saveAll();
    waitForSave(document);

    QStringList expected = {
        QStringLiteral("gone.mp3: The file no longer exists"),
        QStringLiteral("locked.mp3: You don’t have permission to change this file"),
        QStringLiteral(
            "long.m4a: Not saved: Track Number is too large for MP4 files, which hold at most 65535"),
        QStringLiteral(
            "old.mp3: ID3v2.2 tags, and second ID3v2 tags, holding a frame without an ID3v2.3 form "
            "are not supported"),
        QStringLiteral("twice.aiff: Not saved: the file has two tags of the same kind, and saving would lose "
                       "one of them"),
    };
    if (readOnlyMount)
        expected.append(QStringLiteral("mounted.mp3: The file is on a read-only file system"));
    expected.sort();
    QStringList lines = noticeText(document).value_or(QString()).split(u'\n');
    lines.sort();
    EXPECT_EQ(lines, expected);
    for (const AudioFile& file : document.files())
        EXPECT_EQ(file.isModified(), file.filename() != u"mounted.mp3" || readOnlyMount)
            << file.filename().toStdString();
    EXPECT_EQ(readBack(library.url(QStringLiteral("long.m4a"))).tags().trackNumber, QStringLiteral("3"));
}

TEST_F(SavingTest, EditsDuringASaveAreKeptAndSavedNext) {
    load(std::make_shared<ControlledWriter>(QSet<QString>{}, true));
    document.editField(TagField::title, QStringLiteral("First"));
    document.saveAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return writer->writesStarted() == 3; }, 5000));

    // Undo, redo and removal wait; edits go ahead.
    document.undo();
    document.removeSelectedFromList();
    EXPECT_EQ(document.files().size(), 3);
    document.editField(TagField::title, QStringLiteral("Second"), ids[0]);
    int completions = 0;
    document.saveAll([&] { ++completions; });
    document.saveAll([&] { ++completions; });
    writer->release(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return writer->writesStarted() == 4; }, 5000));
    EXPECT_TRUE(document.isSaving()); // the deferred save of the file edited meanwhile
    writer->release(100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions == 2; }, 5000));
    waitForSave(document);
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_EQ(readBack(document.files()[0].url()).tags().title, QStringLiteral("Second"));
    EXPECT_EQ(readBack(document.files()[1].url()).tags().title, QStringLiteral("First"));
}

// A long save shows its progress in the list: written files lose their marks
// while the others are still being written.
TEST_F(SavingTest, FilesShowAsSavedWhileTheRestAreWritten) {
    load(std::make_shared<ControlledWriter>(QSet<QString>{}, true));
    document.editField(TagField::title, QStringLiteral("First"));
    ASSERT_EQ(document.modifiedCount(), 3);
    document.saveAll();
    writer->release(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return document.modifiedCount() == 2; }, 5000));
    EXPECT_TRUE(document.isSaving());
    writer->release(100);
    waitForSave(document);
    EXPECT_EQ(document.modifiedCount(), 0);
}

// Files are written several at a time, but the names of one file (hard
// links) one after the other: two safe writes of one file at once would
// each replace it with their own copy.
TEST_F(SavingTest, TwoNamesOfOneFileAreNeverWrittenAtOnce) {
    library.add(QStringLiteral("a.mp3"));
    library.add(QStringLiteral("b.mp3"));
    ASSERT_EQ(::link(QFile::encodeName(library.path(QStringLiteral("a.mp3"))).constData(),
                     QFile::encodeName(library.path(QStringLiteral("a-link.mp3"))).constData()),
              0);
    writer = std::make_shared<ControlledWriter>(QSet<QString>{}, true);
    document.setTagWriter(writer);
    importAndWait(document, {library.url()});
    ids = idsOf(document.files());
    ASSERT_EQ(ids.size(), 3);
    document.setSelectedFiles({ids.begin(), ids.end()});
    document.editField(TagField::title, QStringLiteral("Linked"));

    document.saveAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return writer->writesStarted() == 2; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(writer->writesStarted(), 2);
    writer->release(100);
    waitForSave(document);
    EXPECT_EQ(writer->writesStarted(), 3);
    EXPECT_EQ(noticeText(document), std::nullopt);
    EXPECT_EQ(readBack(library.url(QStringLiteral("a.mp3"))).tags().title, QStringLiteral("Linked"));
}

TEST_F(SavingTest, NothingModifiedCompletesAtOnce) {
    load();
    bool done = false;
    document.saveAll([&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_FALSE(document.isSaving());
    EXPECT_EQ(noticeText(document), std::nullopt);
}

// A cover that our model cannot carry faithfully: a GIF with an upper-case MIME type.
void writeGifCover(const QUrl& url) {
    const QByteArray gif = TestSupport::encodedImage(4, 4, "GIF");
    const CTagLibArtworkWrite picture{reinterpret_cast<const uint8_t*>(gif.constData()), gif.size(),
                                      "IMAGE/GIF", 3, "cover"};
    ASSERT_EQ(ctaglib_write(QFile::encodeName(url.toLocalFile()).constData(), "T", "", "", "", "", "", "", "",
                            "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, &picture, 1),
              0);
}

TEST_F(SavingTest, UnchangedPicturesAreLeftAsTheyAre) {
    const QUrl flac = library.add(QStringLiteral("cover.flac"), QStringLiteral("untagged.flac"));
    writeGifCover(flac);
    load();
    const QUuid id = fileNamed(document, QStringLiteral("cover.flac")).id();
    ASSERT_EQ(fileNamed(document, QStringLiteral("cover.flac")).artwork().size(), 1);
    EXPECT_EQ(fileNamed(document, QStringLiteral("cover.flac")).artwork()[0].format, ImageFormat::unknown);

    document.editField(TagField::title, QStringLiteral("Only the title"), id);
    document.saveAll();
    waitForSave(document);
    EXPECT_EQ(writer->artworkPassed(), QList<bool>({false}));
    // The picture keeps its MIME type: read through the bridge, not our model.
    CTagLibTag* record = ctaglib_read(QFile::encodeName(flac.toLocalFile()).constData());
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->artworkCount, 1);
    EXPECT_STREQ(record->artwork[0].mimeType, "IMAGE/GIF");
    ctaglib_free_result(record);

    // A changed picture list is written.
    document.setSelectedFiles({id});
    document.tagClipboard().pasteToSelected(false, true); // clipboard empty: nothing changes
    document.tagClipboard().copyFromSelected();
    document.setSelectedFiles({ids[0]});
    document.tagClipboard().pasteToSelected(false, true);
    document.saveAll();
    waitForSave(document);
    EXPECT_EQ(writer->artworkPassed().last(), true);
    EXPECT_EQ(readBack(document.files()[0].url()).artwork().size(), 1);
}

} // namespace

namespace {

// The fields a save writes are those that differ from the disk, whatever the
// history: an edit that was undone is not written.
TEST_F(SavingTest, WritesOnlyTheFieldsThatDifferFromTheDisk) {
    load();
    document.setSelectedFiles({ids[0]});
    document.editField(TagField::title, QStringLiteral("New Title"));
    document.editField(TagField::genre, QStringLiteral("New Genre"));
    document.undo();
    const std::optional<QString> title = document.files()[1].tags().title;
    document.editField(TagField::title, QStringLiteral("New Title"), ids[1]);
    document.editField(TagField::title, title.value_or(QString()),
                       ids[1]); // typed back: as on disk, so nothing to write
    EXPECT_FALSE(document.files()[1].isModified());
    document.saveAll();
    waitForSave(document);
    EXPECT_EQ(writer->fieldsPassed(), (QList<FieldKeySet>{{TagField::title}}));
    EXPECT_EQ(writer->artworkPassed(), (QList<bool>{false}));
}

} // namespace
