#include "DocumentTestSupport.h"

#include "QuireCore/SaveRecovery.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace DocumentTest;

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Three real files, all edited; the test breaks one of them on disk before saving.
class FaultTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.mp3", "b.flac", "c.ogg"})
            library.add(QString::fromUtf8(name),
                        QStringLiteral("tagged.") + QString::fromUtf8(name).section(u'.', 1));
        importAndWait(document, {library.url()});
        ids = idsOf(document.files());
        document.setSelectedFiles({ids.begin(), ids.end()});
        document.editField(TagField::title, QStringLiteral("Edited"));
    }

    // Saves and checks that only `broken` failed: the message names it with
    // the reason, and the others are written.
    void saveExpectingFailureOf(const QString& broken, const QString& reason) {
        document.saveAll();
        waitForSave(document);
        EXPECT_EQ(noticeText(document), broken + QStringLiteral(": ") + reason);
        for (const AudioFile& file : document.files()) {
            if (file.filename() == broken) {
                EXPECT_TRUE(file.isModified());
            } else {
                EXPECT_FALSE(file.isModified()) << file.filename().toStdString();
                EXPECT_EQ(readBack(file.url()).tags().title, QStringLiteral("Edited"));
            }
        }
    }

    Library library;
    DocumentViewModel document;
    QList<QUuid> ids;
};

TEST_F(FaultTest, AFileDeletedBeforeTheSaveFailsAlone) {
    ASSERT_TRUE(QFile::remove(library.path(QStringLiteral("b.flac"))));
    saveExpectingFailureOf(QStringLiteral("b.flac"), QStringLiteral("The file no longer exists"));
    EXPECT_FALSE(QFile::exists(library.path(QStringLiteral("b.flac")))); // not recreated
}

TEST_F(FaultTest, AFileReplacedByAFolderFailsAlone) {
    ASSERT_TRUE(QFile::remove(library.path(QStringLiteral("b.flac"))));
    ASSERT_TRUE(QDir(library.path()).mkdir(QStringLiteral("b.flac")));
    saveExpectingFailureOf(
        QStringLiteral("b.flac"),
        QStringLiteral(
            "There is no longer a file of this name: a folder or another kind of item has its name"));
    EXPECT_TRUE(QDir(library.path(QStringLiteral("b.flac"))).isEmpty());
}

TEST_F(FaultTest, AFileMadeReadOnlyFailsAloneAndKeepsItsBytes) {
    const QString path = library.path(QStringLiteral("b.flac"));
    const QByteArray before = contentsOf(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    saveExpectingFailureOf(QStringLiteral("b.flac"),
                           QStringLiteral("You don’t have permission to change this file"));
    EXPECT_EQ(contentsOf(path), before);
}

TEST_F(FaultTest, WorkGoesOnWhileASaveRuns) {
    auto writer = std::make_shared<ControlledWriter>(QSet<QString>{}, true);
    document.setTagWriter(writer);
    document.saveAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return writer->writesStarted() > 0; }, 5000));

    // Edits, an import, undo and redo while the first write is held.
    library.add(QStringLiteral("d.opus"), QStringLiteral("tagged.opus"));
    document.importFiles({library.url(QStringLiteral("d.opus"))});
    document.editField(TagField::artist, QStringLiteral("During"), ids[2]);
    const qsizetype steps = document.history().undoDescriptions().size();
    document.undo();
    document.redo();
    EXPECT_EQ(document.history().undoDescriptions().size(), steps); // ignored during a save
    writer->release(100);
    waitForSave(document);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !document.isLoading(); }, 10000));
    EXPECT_EQ(document.files().size(), 4);
    EXPECT_EQ(noticeText(document), std::nullopt);
    // The edit made during the save is kept and still to be saved.
    const AudioFile& edited = fileNamed(document, QStringLiteral("c.ogg"));
    EXPECT_TRUE(edited.isModified());
    EXPECT_EQ(edited.tags().artist, QStringLiteral("During"));
    EXPECT_EQ(readBack(edited.url()).tags().title, QStringLiteral("Edited"));
    EXPECT_NE(readBack(edited.url()).tags().artist, QStringLiteral("During"));
}

TEST_F(FaultTest, TheFolderOfAPendingRenameRemoved) {
    library.add(QStringLiteral("sub/inner.mp3"), QStringLiteral("tagged.mp3"));
    importAndWait(document, {library.url(QStringLiteral("sub"))});
    const QUuid inner = fileNamed(document, QStringLiteral("inner.mp3")).id();
    ASSERT_EQ(document.renameFile(inner, QStringLiteral("renamed")).value(), FileRenameResult::done);
    const QByteArray others = contentsOf(library.path(QStringLiteral("a.mp3")));

    // The folder goes away: the undo cannot move the file back.
    ASSERT_TRUE(QDir(library.path(QStringLiteral("sub"))).removeRecursively());
    EXPECT_FALSE(undoAndWait(document));
    const QString message = noticeText(document).value_or(QString());
    EXPECT_TRUE(message.startsWith(QStringLiteral("Couldn’t finish undoing or redoing the rename: ")))
        << message;
    EXPECT_TRUE(message.endsWith(QStringLiteral("\nYour files are at:\n") +
                                 library.path(QStringLiteral("sub/renamed.mp3"))))
        << message;
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename inner.mp3")); // the step stays
    EXPECT_EQ(contentsOf(library.path(QStringLiteral("a.mp3"))), others);
    EXPECT_EQ(QDir(library.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"a.mp3", "b.flac", "c.ogg"}));
}

TEST(FaultFullDisk, ASaveThatDoesNotFitFailsAndChangesNothing) {
    const TestSupport::SmallFileSystem disk("4m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    for (const char* name : {"big.flac", "small.mp3"}) {
        QFile source(
            TestSupport::fixturePath(QStringLiteral("tagged.") + QString::fromUtf8(name).section(u'.', 1)));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QFile target(disk.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(target.open(QIODevice::WriteOnly));
        target.write(source.readAll());
    }
    DocumentViewModel document;
    importAndWait(document, {QUrl::fromLocalFile(disk.path())});
    ASSERT_EQ(document.files().size(), 2);
    const QByteArray flacBefore = contentsOf(disk.filePath(QStringLiteral("big.flac")));
    const QByteArray mp3Before = contentsOf(disk.filePath(QStringLiteral("small.mp3")));

    // A picture far bigger than the space left.
    const QByteArray picture(700 * 1024, '\x5a');
    document.setSelectedFiles({fileNamed(document, QStringLiteral("big.flac")).id()});
    document.artworkOperations().setArtwork(
        Artwork::holding(picture, ImageFormat::jpeg, ArtworkType::frontCover));
    ASSERT_TRUE(disk.leaveFree(900 * 1024));
    document.saveAll();
    waitForSave(document);
    EXPECT_EQ(noticeText(document),
              QStringLiteral("big.flac: Not saved: there isn’t enough free space on the disk"));
    EXPECT_EQ(contentsOf(disk.filePath(QStringLiteral("big.flac"))), flacBefore);
    EXPECT_EQ(contentsOf(disk.filePath(QStringLiteral("small.mp3"))), mp3Before);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"big.flac", "filler", "small.mp3"}));
}

// A crash while b.flac was written in place left it unreadable, with its backup and a working copy of a.mp3
// beside them. Importing the folder puts them right; files this document has loaded are left alone, since
// it may be saving them.
TEST(FaultCrashedSave, TheImportRestoresFromLeftoversAndSaysSo) {
    Library library;
    library.add(QStringLiteral("a.mp3"));
    library.add(QStringLiteral("b.flac"), QStringLiteral("tagged.flac"));
    const QByteArray original = contentsOf(library.path(QStringLiteral("b.flac")));
    const auto hidden = [&](const char* name, SaveLeftover::Kind kind) {
        return library.path(QString::fromLatin1(saveLeftoverName(name, kind, 0x2a)));
    };
    ASSERT_TRUE(
        QFile::copy(library.path(QStringLiteral("b.flac")), hidden("b.flac", SaveLeftover::Kind::backup)));
    ASSERT_TRUE(
        QFile::copy(library.path(QStringLiteral("a.mp3")), hidden("a.mp3", SaveLeftover::Kind::workingCopy)));
    QFile broken(library.path(QStringLiteral("b.flac")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(original.size(), '\0'));
    broken.close();

    DocumentViewModel document;
    importAndWait(document, {library.url()});
    EXPECT_EQ(namesOf(document.files()), QStringList({"a.mp3", "b.flac"}));
    EXPECT_EQ(noticeText(document),
              library.path(QStringLiteral("b.flac")) +
                  QStringLiteral(" was restored from the backup of an interrupted save."));
    EXPECT_EQ(contentsOf(library.path(QStringLiteral("b.flac"))), original);
    EXPECT_EQ(QDir(library.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"a.mp3", "b.flac"}));

    dismissNotices(document);
    ASSERT_TRUE(
        QFile::copy(library.path(QStringLiteral("a.mp3")), hidden("a.mp3", SaveLeftover::Kind::backup)));
    importAndWait(document, {library.url()});
    EXPECT_EQ(noticeText(document), std::nullopt);
    EXPECT_TRUE(QFile::exists(hidden("a.mp3", SaveLeftover::Kind::backup)));
}

} // namespace
