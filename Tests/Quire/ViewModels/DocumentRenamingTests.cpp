#include "DocumentTestSupport.h"

#include "Platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace DocumentTest;

namespace {

class RenamingTest : public testing::Test {
protected:
    void SetUp() override {
        library.add(QStringLiteral("old.flac"), QStringLiteral("tagged.flac"));
        library.add(QStringLiteral("other.mp3"));
        importAndWait(document, {library.url()});
        flac = fileNamed(document, QStringLiteral("old.flac")).id();
        mp3 = fileNamed(document, QStringLiteral("other.mp3")).id();
    }

    bool onDisk(const QString& name) const { return QFile::exists(library.path(name)); }
    QStringList folderContents() const {
        return QDir(library.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    Library library;
    DocumentViewModel document;
    QUuid flac, mp3;
};

TEST_F(RenamingTest, TypedNamesAreCleanedAndCheckedBeforeAnythingMoves) {
    EXPECT_EQ(document.renameFile(flac, QStringLiteral("  New Name.FLAC \n")).value(),
              FileRenameResult::done);
    EXPECT_TRUE(onDisk(QStringLiteral("New Name.flac")));
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename old.flac"));
    EXPECT_EQ(document.renameFile(flac, QStringLiteral("New Name")).value(), FileRenameResult::unchanged);

    // Each refusal says why.
    const QString illegal =
        QStringLiteral("A file name can’t contain / : \\ * ? \" < > | or a null character.");
    const std::pair<QString, QString> refusals[] = {
        {QStringLiteral("AC/DC"), illegal},
        {QStringLiteral("what?"), illegal},
        {QStringView(u"nul\0x", 5).toString(), illegal},
        {QStringLiteral(".."), QStringLiteral("“..” can’t be a file name.")},
        {QStringLiteral("   "), QStringLiteral("A file name can’t be empty.")},
        {QStringLiteral(".flac"), QStringLiteral("A file name can’t be empty.")},
    };
    for (const auto& [refused, reason] : refusals)
        EXPECT_EQ(document.renameFile(flac, refused).error(), reason) << refused.toStdString();
    // Another file's name is refused and moves nothing.
    library.add(QStringLiteral("taken.flac"), QStringLiteral("untagged.flac"));
    EXPECT_EQ(document.renameFile(flac, QStringLiteral("taken")).error(),
              QStringLiteral("“taken.flac” already exists in this folder."));
    EXPECT_FALSE(document.renameFile(QUuid::createUuid(), QStringLiteral("x")).ok());
    EXPECT_EQ(folderContents(), QStringList({"New Name.flac", "other.mp3", "taken.flac"}));
    EXPECT_FALSE(fileNamed(document, QStringLiteral("New Name.flac")).isModified());
}

TEST_F(RenamingTest, UndoAndRedoMoveTheFileBackAndForth) {
    ASSERT_EQ(document.renameFile(flac, QStringLiteral("Renamed")).value(), FileRenameResult::done);
    EXPECT_TRUE(undoAndWait(document));
    EXPECT_EQ(folderContents(), QStringList({"old.flac", "other.mp3"}));
    EXPECT_EQ(fileNamed(document, QStringLiteral("old.flac")).id(), flac);
    EXPECT_TRUE(redoAndWait(document));
    EXPECT_EQ(folderContents(), QStringList({"Renamed.flac", "other.mp3"}));

    // The old name taken meanwhile: the undo moves nothing and stays undoable.
    library.add(QStringLiteral("old.flac"), QStringLiteral("untagged.flac"));
    EXPECT_FALSE(undoAndWait(document));
    EXPECT_EQ(noticeText(document),
              QStringLiteral(
                  "Couldn’t undo or redo the rename because old.flac already exists. No files were moved."));
    EXPECT_EQ(folderContents(), QStringList({"Renamed.flac", "old.flac", "other.mp3"}));
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename old.flac"));
    EXPECT_FALSE(document.history().canRedo());
    EXPECT_EQ(fileNamed(document, QStringLiteral("Renamed.flac")).id(), flac);
}

TEST_F(RenamingTest, ExchangedNamesAndLetterCaseGoThroughParking) {
    // Swap the names through a third one, then undo the whole exchange at once.
    const FileSnapshot start = document.snapshot();
    ASSERT_EQ(document.renameFile(flac, QStringLiteral("swap")).value(), FileRenameResult::done);
    ASSERT_EQ(document.renameFile(mp3, QStringLiteral("old")).value(), FileRenameResult::done);
    ASSERT_EQ(document.renameFile(flac, QStringLiteral("other")).value(), FileRenameResult::done);
    // old.mp3 and other.flac now; the start state has old.flac and other.mp3.
    const FileSnapshot exchanged = document.snapshot();
    EXPECT_TRUE(restoreAndWait(document, start));
    EXPECT_EQ(folderContents(), QStringList({"old.flac", "other.mp3"}));
    EXPECT_TRUE(restoreAndWait(document, exchanged));
    EXPECT_EQ(folderContents(), QStringList({"old.mp3", "other.flac"}));
    EXPECT_TRUE(restoreAndWait(document, start));

    EXPECT_EQ(document.renameFile(flac, QStringLiteral("OLD")).value(), FileRenameResult::done);
    EXPECT_EQ(folderContents(), QStringList({"OLD.flac", "other.mp3"}));
    EXPECT_TRUE(undoAndWait(document));
    EXPECT_EQ(folderContents(), QStringList({"old.flac", "other.mp3"}));
}

TEST_F(RenamingTest, AFailedMoveIsRolledBackAndReported) {
    // A target in a folder that is gone, outside the file's own folder (where
    // no folder is made): the first file is parked and placed, the second
    // cannot be placed, and both go back where they were.
    const QString gone =
        QDir::tempPath() + QStringLiteral("/cadenza-gone-") + QUuid::createUuid().toString(QUuid::Id128);
    FileSnapshot target = document.snapshot();
    target.files[0].setUrl(library.url(QStringLiteral("a renamed.flac")));
    target.files[1].setUrl(QUrl::fromLocalFile(gone + QStringLiteral("/other.mp3")));
    EXPECT_FALSE(restoreAndWait(document, target));
    EXPECT_EQ(folderContents(), QStringList({"old.flac", "other.mp3"}));
    EXPECT_EQ(namesOf(document.files()), QStringList({"old.flac", "other.mp3"}));
    const QString message = noticeText(document).value_or(QString());
    EXPECT_TRUE(message.startsWith(QStringLiteral("Couldn’t finish undoing or redoing the rename: “")))
        << message;
    EXPECT_TRUE(message.contains(gone + QStringLiteral("/other.mp3"))) << message;
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_TRUE(message.endsWith(QStringLiteral("\nYour files are at:\n") +
                                 library.path(QStringLiteral("old.flac")) + u'\n' +
                                 library.path(QStringLiteral("other.mp3"))))
        << message;
}

// 300 files in two folders, renamed from a pattern: their undo and redo move
// them in the background.
class ManyRenamesTest : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 150; ++i) {
            library.add(QStringLiteral("A/a%1.mp3").arg(i, 3, 10, QChar(u'0')),
                        QStringLiteral("untagged.mp3"));
            library.add(QStringLiteral("B/b%1.mp3").arg(i, 3, 10, QChar(u'0')),
                        QStringLiteral("untagged.mp3"));
        }
        importAndWait(document, {library.url()});
        QSet<QUuid> all;
        for (const AudioFile& file : document.files())
            all.insert(file.id());
        document.setSelectedFiles(all);
        document.tagOperations().tagsFromFilename(QStringLiteral("{title}"), {TagField::title});
        ASSERT_EQ(renameAndWait(document, QStringLiteral("{title} renamed")), 300);
    }
    QStringList onDisk(const QString& folder) const {
        return QDir(library.path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QStringList names(QChar letter, const QString& suffix) {
        QStringList names;
        for (int i = 0; i < 150; ++i)
            names.append(QStringLiteral("%1%2%3.mp3").arg(letter).arg(i, 3, 10, QChar(u'0')).arg(suffix));
        return names;
    }

    Library library;
    DocumentViewModel document;
};

TEST_F(ManyRenamesTest, AnUndoMovesTheFilesInTheBackgroundAndRedoMovesThemAgain) {
    EXPECT_EQ(onDisk(QStringLiteral("A")), names(u'a', QStringLiteral(" renamed")));
    QSignalSpy progress(&document.work(), &WorkQueue::progressChanged);
    std::optional<bool> applied;
    ASSERT_TRUE(document.undo([&](bool done) { applied = done; }));
    // The list changes when the moves are done; until then nothing else moves files or changes them.
    EXPECT_TRUE(document.isMovingFiles());
    EXPECT_TRUE(document.work().isWorking());
    EXPECT_FALSE(applied);
    EXPECT_EQ(namesOf(document.files()).value(0), QStringLiteral("a000 renamed.mp3"));
    EXPECT_FALSE(document.undo());
    EXPECT_FALSE(document.redo());
    EXPECT_FALSE(document.renameFromPattern(QStringLiteral("{title}")));
    EXPECT_FALSE(document.renameFile(document.files().value(0).id(), QStringLiteral("x")).ok());
    const Result<bool, QString> edit = document.editField(TagField::album, QStringLiteral("During"));
    EXPECT_TRUE(edit.ok() && !edit.value());
    bool saved = false;
    document.saveAll([&] { saved = true; }); // held until the moves are done

    ASSERT_TRUE(QTest::qWaitFor([&] { return applied.has_value(); }, 20000));
    EXPECT_TRUE(*applied);
    EXPECT_FALSE(document.isMovingFiles());
    EXPECT_EQ(onDisk(QStringLiteral("A")), names(u'a', {}));
    EXPECT_EQ(onDisk(QStringLiteral("B")), names(u'b', {}));
    EXPECT_EQ(namesOf(document.files()), names(u'a', {}) + names(u'b', {}));
    EXPECT_GT(progress.count(), 2);
    EXPECT_EQ(document.work().progress(), (WorkProgress{600, 600})); // each file parked, then placed
    EXPECT_EQ(document.history().redoDescription(), QStringLiteral("Rename 300 files"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved; }, 20000));
    EXPECT_EQ(readBack(library.url(QStringLiteral("A/a000.mp3"))).tags().title, QStringLiteral("a000"));

    EXPECT_TRUE(redoAndWait(document));
    EXPECT_EQ(onDisk(QStringLiteral("B")), names(u'b', QStringLiteral(" renamed")));
    EXPECT_EQ(namesOf(document.files()),
              names(u'a', QStringLiteral(" renamed")) + names(u'b', QStringLiteral(" renamed")));
}

TEST_F(ManyRenamesTest, AFailureInTheMiddleOfAnUndoRollsBackAndKeepsTheStep) {
    // The second folder is renamed behind the editor's back: its files cannot be moved.
    ASSERT_TRUE(QDir(library.path()).rename(QStringLiteral("B"), QStringLiteral("B moved")));
    EXPECT_FALSE(undoAndWait(document));
    EXPECT_EQ(onDisk(QStringLiteral("A")), names(u'a', QStringLiteral(" renamed"))); // no parking names
    EXPECT_EQ(namesOf(document.files()).value(0), QStringLiteral("a000 renamed.mp3"));
    const QString message = noticeText(document).value_or(QString());
    EXPECT_TRUE(message.startsWith(QStringLiteral("Couldn’t finish undoing or redoing the rename: ")))
        << message;
    EXPECT_TRUE(message.contains(QStringLiteral("\nYour files are at:\n") +
                                 library.path(QStringLiteral("A/a000 renamed.mp3"))))
        << message;
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename 300 files"));
    EXPECT_FALSE(document.history().canRedo());
}

// Artwork work could not commit its result while files move: moves wait for none.
TEST_F(ManyRenamesTest, NoMovesStartWhileArtworkWorkRuns) {
    document.artworkOperations().optimizeArtwork(300, 0.8);
    ASSERT_TRUE(document.work().isWorking());
    EXPECT_FALSE(document.undo());
    EXPECT_FALSE(document.renameFromPattern(QStringLiteral("{title}")));
    EXPECT_FALSE(document.isMovingFiles());
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Rename 300 files"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !document.work().isWorking(); }, 20000));
    EXPECT_EQ(onDisk(QStringLiteral("A")), names(u'a', QStringLiteral(" renamed")));
    EXPECT_EQ(noticeText(document), std::nullopt);
}

} // namespace
