#include "DocumentTestSupport.h"

#include "Quire/ViewModels/ReadCache.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace DocumentTest;

namespace {

class ReadCacheTest : public testing::Test {
protected:
    // Opens the library in a fresh document, as a new run of the editor does.
    std::unique_ptr<DocumentViewModel> open(const QList<QUrl>& locations = {}, bool cached = true) {
        auto document = std::make_unique<DocumentViewModel>();
        if (cached)
            document->setReadCachePath(cachePath());
        importAndWait(*document, locations.isEmpty() ? QList<QUrl>{library.url()} : locations);
        return document;
    }
    QString cachePath() const { return cacheHome.filePath(QStringLiteral("cadenza/read-cache.sqlite")); }
    // The cache takes a file only once its times are older than the file
    // system's clock step, which a change right after the read could not move.
    static void letSettle() { QThread::msleep(60); }

    // Runs SQL on the cache as another program would.
    void runSql(const QString& statement) const {
        {
            QSqlDatabase database =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test"));
            database.setDatabaseName(cachePath());
            ASSERT_TRUE(database.open());
            QSqlQuery query(database);
            ASSERT_TRUE(query.exec(statement)) << statement;
        }
        QSqlDatabase::removeDatabase(QStringLiteral("test"));
    }

    Library library;
    TestSupport::ScratchFolder cacheHome;
};

// Overwrites the first occurrence of `text` in the file in place (same file, same size).
void patch(const QString& path, const QByteArray& text, const QByteArray& replacement) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qsizetype at = file.readAll().indexOf(text);
    ASSERT_GE(at, 0);
    file.seek(at);
    file.write(replacement);
}

struct stat statOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    return status;
}

// Puts the access and modification times back, as some taggers do after a save.
void restoreTimes(const QString& path, const struct stat& before) {
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

TEST_F(ReadCacheTest, AFileThatHasNotChangedGivesWhatAReadGivesWithFreshIds) {
    for (const auto& [name, fixture] :
         std::initializer_list<std::pair<const char*, const char*>>{{"tagged.mp3", "tagged.mp3"},
                                                                    {"custom.mp3", "custom.mp3"},
                                                                    {"rich.flac", "rich.flac"},
                                                                    {"rich.m4a", "rich.m4a"},
                                                                    {"custom.ogg", "custom.ogg"},
                                                                    {"rich.dsf", "rich.dsf"},
                                                                    {"zero.mp3", "zero-size-frame.mp3"}})
        library.add(QString::fromLatin1(name), QString::fromLatin1(fixture));
    letSettle();
    QSet<QUuid> firstIds;
    {
        const auto first = open();
        EXPECT_EQ(first->importProgress(), (ImportProgress{7, 7, 0}));
        for (const AudioFile& file : first->files())
            firstIds.insert(file.id());
    }
    const auto second = open();
    EXPECT_EQ(second->importProgress(), (ImportProgress{7, 7, 7}));
    ASSERT_EQ(second->files().size(), 7);
    for (const AudioFile& hit : second->files()) {
        SCOPED_TRACE(hit.filename().toStdString());
        const AudioFile read = readBack(hit.url());
        EXPECT_EQ(hit.format(), read.format());
        EXPECT_EQ(hit.tagContainer(), read.tagContainer());
        EXPECT_EQ(hit.properties(), read.properties());
        EXPECT_EQ(hit.tags(), read.tags());
        EXPECT_EQ(hit.isReadInPart(), read.isReadInPart());
        // The pictures are described as a read describes them, and found in the file by their digests.
        ASSERT_EQ(hit.artwork().size(), read.artwork().size());
        for (qsizetype i = 0; i < hit.artwork().size(); ++i) {
            EXPECT_TRUE(Artwork::isSamePicture(hit.artwork()[i], read.artwork()[i]));
            EXPECT_EQ(hit.artwork()[i].sizeBytes, read.artwork()[i].sizeBytes);
            EXPECT_TRUE(second->pictureSource(hit).bytes(hit.artwork()[i]));
        }
        EXPECT_FALSE(hit.isModified());
        EXPECT_FALSE(firstIds.contains(hit.id()));
    }
    EXPECT_FALSE(fileNamed(*second, QStringLiteral("custom.mp3")).tags().custom.isEmpty());
    EXPECT_TRUE(fileNamed(*second, QStringLiteral("zero.mp3")).isReadInPart());
    // Files read in part are named as after a read.
    ASSERT_EQ(second->notices().all().size(), 1);
    EXPECT_EQ(second->notices().all().first().kind, Notice::Kind::readInPart);
}

TEST_F(ReadCacheTest, FilesChangedMovedOrDeletedAreReadAgain) {
    library.add(QStringLiteral("same.mp3"));
    library.add(QStringLiteral("same.flac"), QStringLiteral("rich.flac"));
    library.add(QStringLiteral("patched.mp3"));
    library.add(QStringLiteral("replaced.mp3"));
    library.add(QStringLiteral("moved.mp3"));
    library.add(QStringLiteral("deleted.mp3"));
    letSettle();
    open();

    // Changed in place, with the modification time put back: only the change time tells.
    const QString patched = library.path(QStringLiteral("patched.mp3"));
    const struct stat patchedBefore = statOf(patched);
    patch(patched, "Fixture Artist", "Fixture Artisu");
    restoreTimes(patched, patchedBefore);
    ASSERT_EQ(statOf(patched).st_size, patchedBefore.st_size);
    // Replaced by another file of the same size and modification time.
    const QString replaced = library.path(QStringLiteral("replaced.mp3"));
    const struct stat replacedBefore = statOf(replaced);
    const QString other = library.path(QStringLiteral("elsewhere/other.mp3"));
    ASSERT_TRUE(QDir().mkpath(library.path(QStringLiteral("elsewhere"))));
    ASSERT_TRUE(QFile::copy(replaced, other));
    patch(other, "Fixture Album", "Fixture Albun");
    restoreTimes(other, replacedBefore);
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(replaced).constData()), 0);
    ASSERT_TRUE(QDir().mkpath(library.path(QStringLiteral("sub"))));
    ASSERT_TRUE(QFile::rename(library.path(QStringLiteral("moved.mp3")),
                              library.path(QStringLiteral("sub/moved.mp3"))));
    ASSERT_TRUE(QFile::remove(library.path(QStringLiteral("deleted.mp3"))));

    const auto again = open();
    EXPECT_EQ(namesOf(again->files()),
              QStringList({"moved.mp3", "patched.mp3", "replaced.mp3", "same.flac", "same.mp3"}));
    EXPECT_EQ(again->importProgress().fromCache, 2);
    EXPECT_EQ(fileNamed(*again, QStringLiteral("patched.mp3")).tags().artist,
              QStringLiteral("Fixture Artisu"));
    EXPECT_EQ(fileNamed(*again, QStringLiteral("replaced.mp3")).tags().album,
              QStringLiteral("Fixture Albun"));
    EXPECT_EQ(fileNamed(*again, QStringLiteral("moved.mp3")).url(),
              library.url(QStringLiteral("sub/moved.mp3")));

    // A deleted file named directly is missing, whatever the cache holds for its path.
    const auto missing = open({library.url(QStringLiteral("deleted.mp3"))});
    EXPECT_TRUE(missing->files().isEmpty());
    ASSERT_EQ(missing->notices().all().size(), 1);
    EXPECT_EQ(missing->notices().all().first().kind, Notice::Kind::import);
}

TEST_F(ReadCacheTest, ACacheThatCannotBeTrustedIsMadeAnewWithANotice) {
    library.add(QStringLiteral("a.mp3"));
    library.add(QStringLiteral("b.flac"), QStringLiteral("rich.flac"));
    letSettle();
    const auto overwrite = [this](qint64 at, const QByteArray& bytes) {
        QFile file(cachePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(at);
        file.write(bytes);
    };
    const std::vector<std::tuple<const char*, const char*, std::function<void()>>> damages = {
        {"garbage", "it is damaged", [&] { overwrite(0, QByteArray(20000, 'x')); }},
        {"a damaged page", "it is damaged", [&] { overwrite(4096, QByteArray(4096, 'Z')); }},
        {"a byte of a record changed", "it is damaged",
         [&] {
             runSql(QStringLiteral("UPDATE records SET record = substr(record, 1, 40) || x'00' || "
                                   "substr(record, 42)"));
         }},
        {"another version", "it was made by another version",
         [&] { runSql(QStringLiteral("PRAGMA user_version=%1").arg(ReadCache::formatVersion + 1)); }},
        {"another program's", "it is no cache of this program",
         [&] { runSql(QStringLiteral("PRAGMA application_id=7")); }},
        {"another user's", "it belongs to another user",
         [&] { ASSERT_EQ(::chown(QFile::encodeName(cachePath()).constData(), 65534, 65534), 0); }},
    };
    open();
    for (const auto& [what, reason, damage] : damages) {
        SCOPED_TRACE(what);
        if (QString::fromLatin1(what) == u"another user's" && ::geteuid() != 0)
            continue; // only root can give a file away
        ASSERT_EQ(open()->importProgress().fromCache, 2) << "a cache to damage";
        damage();
        {
            const auto dropped = open();
            EXPECT_EQ(dropped->files().size(), 2);
            EXPECT_EQ(dropped->importProgress().fromCache, 0);
            ASSERT_EQ(dropped->notices().all().size(), 1);
            EXPECT_EQ(dropped->notices().all().first().kind, Notice::Kind::cache);
            EXPECT_TRUE(dropped->notices().all().first().text.contains(QString::fromUtf8(reason)))
                << dropped->notices().all().first().text;
        }
        // Damage found in a record drops the cache while the files are read; the one made anew is written
        // by the stores of their records, which the document's end waits for.
        EXPECT_EQ(statOf(cachePath()).st_uid, ::geteuid());
    }
    const auto healed = open();
    EXPECT_EQ(healed->importProgress().fromCache, 2);
    EXPECT_TRUE(healed->notices().all().isEmpty());
}

TEST_F(ReadCacheTest, OffClearedOrUnwritableTheCacheChangesNothingButSpeed) {
    library.add(QStringLiteral("a.mp3"));
    letSettle();
    EXPECT_EQ(open({}, false)->importProgress(), (ImportProgress{1, 1, 0}));
    EXPECT_FALSE(QFile::exists(cachePath()));

    open();
    auto document = std::make_unique<DocumentViewModel>();
    document->setReadCachePath(cachePath());
    document->setReadCachePath({});
    importAndWait(*document, {library.url()});
    EXPECT_EQ(document->importProgress().fromCache, 0);

    document = open();
    EXPECT_EQ(document->importProgress().fromCache, 1);
    document->clearReadCache();
    document->removeSelectedFromList();
    importAndWait(*document, {library.url()});
    EXPECT_EQ(document->importProgress().fromCache, 0);
    EXPECT_TRUE(document->notices().all().isEmpty());

    // Where no cache can be made (its folder would be a file), files are read as without one.
    const QString blocked = cacheHome.write(QStringLiteral("blocked"));
    document = std::make_unique<DocumentViewModel>();
    document->setReadCachePath(blocked + QStringLiteral("/read-cache.sqlite"));
    importAndWait(*document, {library.url()});
    EXPECT_EQ(document->importProgress(), (ImportProgress{1, 1, 0}));
    EXPECT_TRUE(document->notices().all().isEmpty());
}

// A change right after a read can leave the stamp as it was while the file's
// times are within the file system's clock step: such records are not kept.
TEST(ReadCacheEntry, FilesChangedWithinTheClockStepOfTheReadAreNotKept) {
    const QUrl location = QUrl::fromLocalFile(QStringLiteral("/music/a.mp3"));
    const qint64 now = ReadCache::nowNs();
    const auto kept = [&](qint64 modified, qint64 changed) {
        return ReadCache::entry(location, {1, 2, 3, modified, changed}, now, AudioFile()).has_value();
    };
    constexpr qint64 ms = 1'000'000;
    const qint64 wholeSecond = now / (1000 * ms) * (1000 * ms);
    EXPECT_TRUE(kept(now - 100 * ms, now - 100 * ms + 1));
    EXPECT_FALSE(kept(now - 100 * ms, now - 10 * ms));
    EXPECT_FALSE(kept(now - 10 * ms, now - 100 * ms));           // a modification time set back
    EXPECT_FALSE(kept(wholeSecond - 1000 * ms, now - 100 * ms)); // FAT keeps two seconds
    EXPECT_TRUE(kept(wholeSecond - 3000 * ms, now - 100 * ms));
}

} // namespace
