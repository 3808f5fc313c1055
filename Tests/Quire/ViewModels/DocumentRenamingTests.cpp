#include "DocumentTestSupport.h"

#include "Platform/FileSystem.h"

#include <QDir>
#include <QFile>
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
    EXPECT_EQ(document.renameFile(flac, QStringLiteral("  New Name.FLAC \n")), FileRenameResult::done);
    EXPECT_TRUE(onDisk(QStringLiteral("New Name.flac")));
    EXPECT_EQ(document.undoDescription(), QStringLiteral("Rename old.flac"));
    EXPECT_EQ(document.renameFile(flac, QStringLiteral("New Name")), FileRenameResult::unchanged);

    for (const QString& refused : {QStringLiteral("a/b"), QStringLiteral("what?"), QStringLiteral("a:b"),
                                   QStringLiteral("."), QStringLiteral(".."), QStringLiteral("   "),
                                   QStringLiteral(".flac"), QStringView(u"nul\0x", 5).toString()})
        EXPECT_EQ(document.renameFile(flac, refused), FileRenameResult::failed) << refused.toStdString();
    // Another file's name is refused and moves nothing.
    library.add(QStringLiteral("taken.flac"), QStringLiteral("untagged.flac"));
    EXPECT_EQ(document.renameFile(flac, QStringLiteral("taken")), FileRenameResult::failed);
    EXPECT_EQ(document.renameFile(QUuid::createUuid(), QStringLiteral("x")), FileRenameResult::failed);
    EXPECT_EQ(folderContents(), QStringList({"New Name.flac", "other.mp3", "taken.flac"}));
    EXPECT_FALSE(fileNamed(document, QStringLiteral("New Name.flac")).isModified());
}

TEST_F(RenamingTest, UndoAndRedoMoveTheFileBackAndForth) {
    ASSERT_EQ(document.renameFile(flac, QStringLiteral("Renamed")), FileRenameResult::done);
    document.undo();
    EXPECT_EQ(folderContents(), QStringList({"old.flac", "other.mp3"}));
    EXPECT_EQ(fileNamed(document, QStringLiteral("old.flac")).id(), flac);
    document.redo();
    EXPECT_EQ(folderContents(), QStringList({"Renamed.flac", "other.mp3"}));

    // The old name taken meanwhile: the undo moves nothing and stays undoable.
    library.add(QStringLiteral("old.flac"), QStringLiteral("untagged.flac"));
    document.undo();
    EXPECT_EQ(noticeText(document),
              QStringLiteral(
                  "Couldn’t undo or redo the rename because old.flac already exists. No files were moved."));
    EXPECT_EQ(folderContents(), QStringList({"Renamed.flac", "old.flac", "other.mp3"}));
    EXPECT_EQ(document.undoDescription(), QStringLiteral("Rename old.flac"));
    EXPECT_FALSE(document.canRedo());
    EXPECT_EQ(fileNamed(document, QStringLiteral("Renamed.flac")).id(), flac);
}

TEST_F(RenamingTest, ExchangedNamesAndLetterCaseGoThroughParking) {
    // Swap the names through a third one, then undo the whole exchange at once.
    const FileSnapshot start = document.snapshot();
    ASSERT_EQ(document.renameFile(flac, QStringLiteral("swap")), FileRenameResult::done);
    ASSERT_EQ(document.renameFile(mp3, QStringLiteral("old")), FileRenameResult::done);
    ASSERT_EQ(document.renameFile(flac, QStringLiteral("other")), FileRenameResult::done);
    // old.mp3 and other.flac now; the start state has old.flac and other.mp3.
    const FileSnapshot exchanged = document.snapshot();
    EXPECT_TRUE(document.restore(start));
    EXPECT_EQ(folderContents(), QStringList({"old.flac", "other.mp3"}));
    EXPECT_TRUE(document.restore(exchanged));
    EXPECT_EQ(folderContents(), QStringList({"old.mp3", "other.flac"}));
    EXPECT_TRUE(document.restore(start));

    EXPECT_EQ(document.renameFile(flac, QStringLiteral("OLD")), FileRenameResult::done);
    EXPECT_EQ(folderContents(), QStringList({"OLD.flac", "other.mp3"}));
    document.undo();
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
    EXPECT_FALSE(document.restore(target));
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

TEST(SameFile, IdentityFirstThenPathsIgnoringCaseAndMarks) {
    Library library;
    const QUrl a = library.add(QStringLiteral("a.mp3"));
    EXPECT_TRUE(DocumentViewModel::isSameFile(a, a));
    EXPECT_FALSE(DocumentViewModel::isSameFile(a, library.add(QStringLiteral("b.mp3"))));
    // Neither exists: the paths decide.
    EXPECT_TRUE(DocumentViewModel::isSameFile(QUrl::fromLocalFile(QStringLiteral("/no/Café.MP3")),
                                              QUrl::fromLocalFile(QStringLiteral("/no/./cafe.mp3"))));
    EXPECT_FALSE(DocumentViewModel::isSameFile(QUrl::fromLocalFile(QStringLiteral("/no/a.mp3")),
                                               QUrl::fromLocalFile(QStringLiteral("/no/b.mp3"))));
}

} // namespace
