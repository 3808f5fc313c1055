#include "QuireCore/FileMover.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class FileMoverTest : public testing::Test {
protected:
    QUrl url(const QString& relative) const { return QUrl::fromLocalFile(folder.filePath(relative)); }
    QUrl add(const QString& relative, const QByteArray& bytes) const {
        return QUrl::fromLocalFile(folder.write(relative, bytes));
    }
    QByteArray contents(const QString& relative) const {
        QFile file(folder.filePath(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Every entry below the folder, hidden ones included.
    QStringList entries(const QString& relative = {}) const {
        return QDir(folder.filePath(relative))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    TestSupport::ScratchFolder folder;
    FileMover mover;
    QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();
};

TEST_F(FileMoverTest, ExchangedNamesAndLetterCaseMoveThroughParking) {
    add(QStringLiteral("one.mp3"), "1");
    add(QStringLiteral("two.mp3"), "2");
    int reports = 0;
    const FileMoveOutcome outcome =
        mover.moveTogether({{a, url(QStringLiteral("one.mp3")), url(QStringLiteral("two.mp3"))},
                            {b, url(QStringLiteral("two.mp3")), url(QStringLiteral("one.mp3"))}},
                           [&](qint64 completed, qint64 total) {
                               EXPECT_EQ(total, 4);
                               EXPECT_EQ(completed, ++reports);
                           });
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(reports, 4);
    EXPECT_EQ(contents(QStringLiteral("one.mp3")), "2");
    EXPECT_EQ(contents(QStringLiteral("two.mp3")), "1");
    EXPECT_EQ(outcome.locations.value(a), url(QStringLiteral("two.mp3")));
    EXPECT_EQ(entries(), QStringList({"one.mp3", "two.mp3"})); // no parking name left

    // The file itself under another letter case; a move to where it is counts as done.
    const FileMoveOutcome cased =
        mover.moveTogether({{a, url(QStringLiteral("two.mp3")), url(QStringLiteral("TWO.mp3"))},
                            {b, url(QStringLiteral("one.mp3")), url(QStringLiteral("./one.mp3"))}});
    EXPECT_TRUE(cased.ok());
    EXPECT_EQ(entries(), QStringList({"TWO.mp3", "one.mp3"}));
    EXPECT_EQ(cased.locations.value(b), url(QStringLiteral("one.mp3")));
}

TEST_F(FileMoverTest, AForeignFileOnATargetMovesNothing) {
    add(QStringLiteral("one.mp3"), "1");
    add(QStringLiteral("two.mp3"), "2");
    add(QStringLiteral("taken.mp3"), "foreign");
    const FileMoveOutcome outcome =
        mover.moveTogether({{a, url(QStringLiteral("one.mp3")), url(QStringLiteral("free.mp3"))},
                            {b, url(QStringLiteral("two.mp3")), url(QStringLiteral("taken.mp3"))}});
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(*outcome.failure, (FileMoveOutcome::Failure{FileMoveOutcome::Failure::Kind::targetTaken,
                                                          url(QStringLiteral("two.mp3")),
                                                          url(QStringLiteral("taken.mp3")),
                                                          {}}));
    EXPECT_EQ(entries(), QStringList({"one.mp3", "taken.mp3", "two.mp3"}));
    EXPECT_EQ(contents(QStringLiteral("taken.mp3")), "foreign");
    EXPECT_EQ(outcome.locations.value(a), url(QStringLiteral("one.mp3")));
}

// A target in a folder that is gone, outside the source's folder (where no
// folder is made): the moves before it are undone, root or not.
TEST_F(FileMoverTest, AFailureInTheMiddleRollsEverythingBack) {
    add(QStringLiteral("one.mp3"), "1");
    add(QStringLiteral("two.mp3"), "2");
    add(QStringLiteral("three.mp3"), "3");
    TestSupport::ScratchFolder elsewhere;
    const QUrl gone = QUrl::fromLocalFile(elsewhere.filePath(QStringLiteral("gone/two.mp3")));
    const FileMoveOutcome outcome =
        mover.moveTogether({{a, url(QStringLiteral("one.mp3")), url(QStringLiteral("three.mp3"))},
                            {b, url(QStringLiteral("two.mp3")), gone},
                            {c, url(QStringLiteral("three.mp3")), url(QStringLiteral("new/one.mp3"))}});
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->kind, FileMoveOutcome::Failure::Kind::moveFailed);
    EXPECT_EQ(outcome.failure->target, gone);
    EXPECT_FALSE(outcome.failure->description.isEmpty());
    EXPECT_EQ(entries(), QStringList({"one.mp3", "three.mp3", "two.mp3"})); // no parking, no "new"
    EXPECT_EQ(contents(QStringLiteral("one.mp3")), "1");
    EXPECT_EQ(contents(QStringLiteral("three.mp3")), "3");
    for (const QUuid& id : {a, b, c})
        EXPECT_TRUE(QFileInfo::exists(outcome.locations.value(id).toLocalFile()));
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath(QStringLiteral("gone"))));
    EXPECT_TRUE(mover.madeFolders().isEmpty());
}

TEST_F(FileMoverTest, FoldersAreMadeBelowTheSourceOnlyAndRemovedWhenEmptyAgain) {
    add(QStringLiteral("lib/one.mp3"), "1");
    const QUrl deep = url(QStringLiteral("lib/Artist/Album/one.mp3"));
    EXPECT_TRUE(mover.moveTogether({{a, url(QStringLiteral("lib/one.mp3")), deep}}).ok());
    EXPECT_EQ(mover.madeFolders(), QSet<QString>({folder.filePath(QStringLiteral("lib/Artist")),
                                                  folder.filePath(QStringLiteral("lib/Artist/Album"))}));
    // A later run, given the folders made, moves back and takes them away.
    FileMover later(mover.madeFolders());
    EXPECT_TRUE(later.moveTogether({{a, deep, url(QStringLiteral("lib/one.mp3"))}}).ok());
    later.removeMadeFoldersIfEmpty();
    EXPECT_EQ(entries(QStringLiteral("lib")), QStringList({"one.mp3"}));
    EXPECT_TRUE(later.madeFolders().isEmpty());
    // Never above or beside the source's folder.
    EXPECT_EQ(later.makeFolderFor(url(QStringLiteral("lib/one.mp3")), url(QStringLiteral("other/x.mp3"))),
              std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("other"))));
}

TEST_F(FileMoverTest, EachOnItsOwnLeavesATakenNameAndMovesTheRest) {
    add(QStringLiteral("one.mp3"), "1");
    add(QStringLiteral("two.mp3"), "2");
    const FileMoveOutcome outcome =
        mover.moveEachOnItsOwn({{a, url(QStringLiteral("one.mp3")), url(QStringLiteral("sub/same.mp3"))},
                                {b, url(QStringLiteral("two.mp3")), url(QStringLiteral("sub/same.mp3"))}});
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.locations.value(a), url(QStringLiteral("sub/same.mp3")));
    EXPECT_EQ(outcome.locations.value(b), url(QStringLiteral("two.mp3")));
    EXPECT_EQ(outcome.failedMoves.keys(), QList<QUuid>({b}));
    EXPECT_EQ(contents(QStringLiteral("sub/same.mp3")), "1");
    EXPECT_EQ(entries(), QStringList({"sub", "two.mp3"}));
}

TEST(SameFile, IdentityFirstThenPathsIgnoringCaseAndMarks) {
    TestSupport::ScratchFolder folder;
    const QUrl a = QUrl::fromLocalFile(folder.write(QStringLiteral("a.mp3")));
    EXPECT_TRUE(FileMover::isSameFile(a, a));
    EXPECT_FALSE(FileMover::isSameFile(a, QUrl::fromLocalFile(folder.write(QStringLiteral("b.mp3")))));
    // Neither exists: the paths decide.
    EXPECT_TRUE(FileMover::isSameFile(QUrl::fromLocalFile(QStringLiteral("/no/Café.MP3")),
                                      QUrl::fromLocalFile(QStringLiteral("/no/./cafe.mp3"))));
    EXPECT_FALSE(FileMover::isSameFile(QUrl::fromLocalFile(QStringLiteral("/no/a.mp3")),
                                       QUrl::fromLocalFile(QStringLiteral("/no/b.mp3"))));
}

} // namespace
