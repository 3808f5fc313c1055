#include "Platform/FileSystem.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <dirent.h>
#include <gtest/gtest.h>
#include <latch>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Platform;
using TestSupport::ScratchFolder;

namespace {

QUrl url(const QString& path) {
    return QUrl::fromLocalFile(path);
}
QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
void makeLink(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}
std::string listing(const QString& folder) {
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .join(',')
        .toStdString();
}

// Moving never replaces anything: the atomic rename and its link-then-unlink fallback alike.

struct Mover {
    const char* name;
    FileResult (*move)(const QUrl&, const QUrl&);
    friend void PrintTo(const Mover& mover, std::ostream* out) { *out << mover.name; }
};

class FileSystemMove : public testing::TestWithParam<Mover> {
protected:
    FileResult move(const QString& from, const QString& to) const {
        return GetParam().move(url(from), url(to));
    }
    ScratchFolder scratch;
};

TEST_P(FileSystemMove, RefusesOccupiedOrInvalidNamesLeavingBothPlacesUntouched) {
    const QString source = scratch.write("a.mp3", "a"), file = scratch.write("b.mp3", "b");
    makeLink(scratch.filePath("nowhere"), scratch.filePath("dangling.mp3"));
    QDir(scratch.path()).mkdir("folder.mp3");
    for (const char* occupied : {"b.mp3", "dangling.mp3", "folder.mp3"}) {
        const FileResult result = move(source, scratch.filePath(occupied));
        ASSERT_FALSE(result.ok()) << occupied;
        EXPECT_EQ(result.error->code, EEXIST);
        EXPECT_TRUE(result.error->description.contains(scratch.filePath(occupied)));
    }
    // A NUL would cut the C path short and move the file to "b" instead.
    EXPECT_FALSE(move(source, scratch.filePath(QStringLiteral("b") + QChar(0) + "c.mp3")).ok());
    EXPECT_EQ(contents(source), "a");
    EXPECT_EQ(contents(file), "b");
    EXPECT_EQ(listing(scratch.path()), "a.mp3,b.mp3,dangling.mp3,folder.mp3");
}

TEST_P(FileSystemMove, TakesFreeNamesIncludingACaseOnlyChange) {
    ASSERT_TRUE(move(scratch.write("song.mp3", "tune"), scratch.filePath("Song.mp3")).ok());
    ASSERT_TRUE(move(scratch.filePath("Song.mp3"), scratch.filePath(".x.rename")).ok());
    EXPECT_EQ(listing(scratch.path()), ".x.rename");
    EXPECT_EQ(contents(scratch.filePath(".x.rename")), "tune");
}

TEST_P(FileSystemMove, ExactlyOneOfTwoRacingMovesTakesTheName) {
    const QString destination = scratch.filePath("taken.mp3");
    for (int round = 0; round < 300; ++round) {
        const QString sources[] = {scratch.write("1.mp3", "1"), scratch.write("2.mp3", "2")};
        FileResult results[2];
        std::latch start(2);
        auto race = [&](int i) {
            start.arrive_and_wait();
            results[i] = move(sources[i], destination);
        };
        std::thread first(race, 0), second(race, 1);
        first.join();
        second.join();

        ASSERT_NE(results[0].ok(), results[1].ok()) << "round " << round;
        const int winner = results[0].ok() ? 0 : 1, loser = 1 - winner;
        ASSERT_EQ(results[loser].error->code, EEXIST);
        ASSERT_EQ(contents(destination), QByteArray::number(winner + 1));
        ASSERT_EQ(contents(sources[loser]), QByteArray::number(loser + 1));
        ASSERT_TRUE(QFile::remove(destination) && QFile::remove(sources[loser]));
    }
}

INSTANTIATE_TEST_SUITE_P(Platform, FileSystemMove,
                         testing::Values(Mover{"AtomicRename", &moveItem},
                                         Mover{"LinkFallback", &Detail::moveByLinking}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileSystemMoveAcrossVolumes, FailsAndKeepsTheSource) {
    ScratchFolder scratch;
    QTemporaryDir other(QStringLiteral("/dev/shm/cadenza-test-XXXXXX"));
    if (!other.isValid() ||
        resourceIdentifier(url(other.path()))->device == resourceIdentifier(url(scratch.path()))->device)
        GTEST_SKIP() << "no second volume to move to";
    const QString source = scratch.write("a.mp3", "a");
    EXPECT_EQ(moveItem(url(source), url(other.filePath("a.mp3"))).error.value_or(FileError{}).code, EXDEV);
    EXPECT_EQ(contents(source), "a");
    EXPECT_EQ(listing(other.path()), "");
}

// Enumeration.

// Names relative to the folder, links marked with "@".
std::string enumerated(const ScratchFolder& scratch, bool regularFilesOnly = false) {
    QStringList names;
    for (const DirectoryEntry& entry : enumerateRecursively(url(scratch.path())))
        if (entry.isRegularFile || !regularFilesOnly)
            names << QDir(scratch.path()).relativeFilePath(entry.location.toLocalFile()) +
                         (entry.isLink ? QStringLiteral("@") : QString());
    names.sort();
    return names.join(',').toStdString();
}

TEST(FileSystemEnumeration, ListsHiddenAndNestedEntriesAndLinksWithoutEnteringThem) {
    ScratchFolder scratch;
    scratch.write(".hidden.flac");
    scratch.write("Album/.cache/x.m4a");
    const QString song = scratch.write("Album/01 #1 100%.mp3");
    makeLink(scratch.path(), scratch.filePath("Album/up"));       // a loop back to the top
    makeLink(scratch.filePath("self"), scratch.filePath("self")); // a link to itself
    makeLink(song, scratch.filePath("alias.mp3"));
    makeLink(scratch.filePath("nowhere"), scratch.filePath("dangling.mp3"));

    EXPECT_EQ(enumerated(scratch), ".hidden.flac,Album,Album/.cache,Album/.cache/x.m4a,Album/01 #1 100%.mp3,"
                                   "Album/up@,alias.mp3@,dangling.mp3@,self@");
    EXPECT_EQ(enumerated(scratch, true), ".hidden.flac,Album/.cache/x.m4a,Album/01 #1 100%.mp3,alias.mp3@");
    EXPECT_TRUE(enumerateRecursively(url(scratch.filePath("missing"))).isEmpty());
}

TEST(FileSystemEnumeration, ListsAnUnreadableFolderOnceWithoutItsContents) {
    ScratchFolder scratch;
    scratch.write("open/a.mp3");
    scratch.write("locked/b.mp3");
    const QByteArray locked = QFile::encodeName(scratch.filePath("locked"));
    ASSERT_EQ(::chmod(locked.constData(), 0), 0);
    const auto restore = qScopeGuard([&] { ::chmod(locked.constData(), 0700); });
    if (DIR* directory = ::opendir(locked.constData())) {
        ::closedir(directory);
        GTEST_SKIP() << "permission bits do not deny this user (root?)";
    }
    EXPECT_EQ(enumerated(scratch), "locked,open,open/a.mp3");
}

// Locations and identity.

TEST(FileSystemLocations, CanonicalResolvesLinksBeforeDotDotStandardizedOnlyEditsText) {
    ScratchFolder scratch;
    const QString top = QFileInfo(scratch.path()).canonicalFilePath();
    scratch.write("real/sub/song.mp3");
    makeLink(top + "/real/sub", top + "/link");
    // Physically "link/.." is "real"; as text it is the top folder.
    EXPECT_EQ(canonicalLocation(url(top + "/link/../sub/./song.mp3")), url(top + "/real/sub/song.mp3"));
    EXPECT_EQ(standardizedLocation(url(top + "/link/../sub/./song.mp3")), url(top + "/sub/song.mp3"));
    // Names below the existing part of the path are kept; the link above them is still resolved.
    EXPECT_EQ(canonicalLocation(url(top + "/link/new/../new.mp3")), url(top + "/real/sub/new.mp3"));
}

TEST(FileSystemLocations, IdentityExistenceAndDirectoryTests) {
    ScratchFolder scratch;
    const QString a = scratch.write("a.mp3", "same"), b = scratch.write("b.mp3", "same");
    ASSERT_EQ(
        ::link(QFile::encodeName(a).constData(), QFile::encodeName(scratch.filePath("hard")).constData()), 0);
    makeLink(scratch.filePath("nowhere"), scratch.filePath("dangling"));
    makeLink(scratch.path(), scratch.filePath("folderLink"));

    EXPECT_EQ(resourceIdentifier(url(a)), resourceIdentifier(url(scratch.filePath("hard"))));
    EXPECT_NE(resourceIdentifier(url(a)), resourceIdentifier(url(b)));
    EXPECT_FALSE(resourceIdentifier(url(scratch.filePath("missing"))));
    EXPECT_TRUE(exists(url(scratch.filePath("dangling")))) << "the name is taken";
    EXPECT_FALSE(exists(url(scratch.filePath("missing"))));
    EXPECT_EQ(isDirectory(url(scratch.filePath("folderLink"))), DirectoryCheck::yes);
    EXPECT_EQ(isDirectory(url(a)), DirectoryCheck::no);
    EXPECT_EQ(isDirectory(url(scratch.filePath("dangling"))), DirectoryCheck::unknown);
}

TEST(FileSystemLocations, PathsCompareIgnoringCaseAndDiacritics) {
    EXPECT_TRUE(pathsEqualIgnoringCaseAndDiacritics("/m/Café.mp3", "/m/CAFE\u0301.MP3"));
    EXPECT_TRUE(pathsEqualIgnoringCaseAndDiacritics("/m/Cafe.mp3", "/m/café.mp3"));
    EXPECT_TRUE(pathsEqualIgnoringCaseAndDiacritics("/m/straße", "/m/STRASSE"));
    EXPECT_FALSE(pathsEqualIgnoringCaseAndDiacritics("/m/a.mp3", "/m/b.mp3"));
    EXPECT_FALSE(pathsEqualIgnoringCaseAndDiacritics("/m/a.mp3", "/m/a.mp3 "));
}

TEST(FileSystemLocations, NameHelpersSplitNamesAndKeepUnusualCharacters) {
    const std::pair<const char*, const char*> extensions[] = {{"Song.MP3", "MP3"}, {"a.tar.gz", "gz"},
                                                              {".hidden", ""},     {".x.rename", "rename"},
                                                              {"end.", ""},        {"Album/", ""}};
    for (const auto& [name, extension] : extensions) {
        const QUrl location = url(QStringLiteral("/m/") + name);
        const QString base = lastComponentWithoutExtension(location);
        EXPECT_EQ(pathExtension(location), extension) << name;
        EXPECT_EQ(lastPathComponent(location), *extension ? base + '.' + extension : base) << name;
    }
    const QString odd = QStringLiteral("50%41 #1?é.mp3");
    const QUrl inside = appendingPathComponent(url("/music/"), odd);
    EXPECT_EQ(lastPathComponent(inside), odd);
    EXPECT_EQ(deletingLastPathComponent(inside), url("/music"));
    EXPECT_EQ(deletingLastPathComponent(url("/")), url("/"));
    EXPECT_EQ(fileSystemPath(inside), ("/music/" + odd).toUtf8());
    EXPECT_FALSE(fileSystemPath(url(QStringLiteral("/a") + QChar(0) + "b")));
    EXPECT_FALSE(fileSystemPath(QUrl("https://example.com/a.mp3")));
}

// Writing.

TEST(FileSystemWrite, CreatesOrReplacesKeepingModeAndLeavesNoTemporaryFiles) {
    ScratchFolder scratch;
    const QString path = scratch.filePath("cover.jpg");
    ASSERT_TRUE(writeReplacing("first", url(path)).ok());
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    makeLink(path, scratch.filePath("alias.jpg"));
    ASSERT_TRUE(writeReplacing("second", url(scratch.filePath("alias.jpg"))).ok());

    EXPECT_EQ(contents(path), "second");
    EXPECT_TRUE(QFileInfo(scratch.filePath("alias.jpg")).isSymLink()) << "written through the link";
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the replaced file keeps its mode";
    QDir(scratch.path()).mkdir("folder.jpg");
    EXPECT_FALSE(writeReplacing("x", url(scratch.filePath("folder.jpg"))).ok());
    EXPECT_FALSE(writeReplacing("x", url(scratch.filePath("missing/cover.jpg"))).ok());
    EXPECT_EQ(listing(scratch.path()), "alias.jpg,cover.jpg,folder.jpg");
}

} // namespace
