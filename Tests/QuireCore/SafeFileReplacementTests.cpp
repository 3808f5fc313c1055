// Saves through a working copy, on real files: what a success keeps, and that every failure, a full file
// system included, leaves the original exactly as it was.
#include "QuireCore/SafeFileReplacement.h"

#include "CTagLibBridge.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using TestSupport::ScratchFolder;

namespace {

using TestSupport::SmallFileSystem;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool overwriteFile(const QByteArray& path, const QByteArray& bytes) {
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.flush();
}

// Everything of a file a failed save must leave alone.
struct FileState {
    QByteArray bytes;
    ino_t inode = 0;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    nlink_t links = 0;
    timespec modified{};

    bool operator==(const FileState& other) const {
        return bytes == other.bytes && inode == other.inode && mode == other.mode && owner == other.owner &&
               group == other.group && links == other.links && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

void PrintTo(const FileState& state, std::ostream* out) {
    *out << state.bytes.size() << " bytes \"" << state.bytes.left(40).toStdString() << "\", inode "
         << state.inode << ", mode " << std::oct << state.mode << std::dec << ", owner " << state.owner << ":"
         << state.group << ", " << state.links << " links, modified " << state.modified.tv_sec << "."
         << state.modified.tv_nsec;
}

FileState stateOf(const QString& path) {
    struct stat status {};
    if (::stat(native(path).constData(), &status) != 0)
        return {};
    return {contentOf(path), status.st_ino,   status.st_mode, status.st_uid,
            status.st_gid,   status.st_nlink, status.st_mtim};
}

// Working copies and backups left in a folder.
QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.cadenza-*")}, QDir::Files | QDir::Hidden | QDir::System);
}

bool writeNew(const QByteArray& workingCopy) {
    return overwriteFile(workingCopy, "new content, longer than the old one");
}

// Runs work in a child process and returns its exit code, or -1 when the child could not be set up (exit
// code 99) or did not exit normally.
int runInChild(const std::function<bool()>& setUp, const std::function<int()>& work) {
    const pid_t child = fork();
    if (child == 0)
        _exit(setUp() ? work() : 99);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 99 ? WEXITSTATUS(status) : -1;
}

// As user and group nobody, since the tests may run as root, whom permissions do not stop.
int runAsNobody(const std::function<int()>& work) {
    return runInChild(
        [] {
            return ::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
                   ::setresuid(65534, 65534, 65534) == 0;
        },
        work);
}

// Makes fallocate fail as unsupported, as on file systems without it, so that a later write limit is hit
// while the new bytes are copied in rather than before.
bool withoutFallocate() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fallocate, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EOPNOTSUPP & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// A save's outcome as an exit code of a child process.
int outcomeCode(const ReplacementResult& result) {
    if (!result)
        return 10 + int(result.error().reason);
    return result.value().method == ReplacementMethod::renamed ? 0 : 1;
}
constexpr int savedInPlace = 1;
constexpr int refusedAsNotWritable = 10 + int(SaveFailure::Reason::notWritable);
constexpr int failedToFinish = 10 + int(SaveFailure::Reason::finishFailed);

TEST(SafeFileReplacement, SuccessReplacesTheContentAndKeepsTheModeBits) {
    const ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("song.mp3"), "old content");
    ASSERT_EQ(::chmod(native(path).constData(), 0640), 0);
    const FileState before = stateOf(path);

    QByteArray seenCopy;
    const ReplacementResult result = replaceFileSafely(path, [&](const QByteArray& workingCopy) {
        seenCopy = workingCopy;
        return contentOf(QFile::decodeName(workingCopy)) == "old content" && writeNew(workingCopy);
    });

    ASSERT_TRUE(result) << result.error().description;
    EXPECT_EQ(result.value().method, ReplacementMethod::renamed);
    const QFileInfo copyInfo(QFile::decodeName(seenCopy));
    EXPECT_EQ(copyInfo.absolutePath(), folder.path()) << "the working copy is made beside the original";
    EXPECT_TRUE(copyInfo.fileName().startsWith(u'.'));
    EXPECT_TRUE(copyInfo.fileName().endsWith(QStringLiteral(".mp3"))) << "TagLib picks formats by extension";
    const FileState after = stateOf(path);
    EXPECT_EQ(after.bytes, "new content, longer than the old one");
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.owner, before.owner);
    EXPECT_NE(after.inode, before.inode);
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

TEST(SafeFileReplacement, ExtendedAttributesAreCarriedOver) {
    const ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("song.flac"), "old content");
    const QByteArray value = "from the test";
    if (::setxattr(native(path).constData(), "user.cadenza.test", value.constData(), size_t(value.size()),
                   0) != 0)
        GTEST_SKIP() << "the scratch file system does not take user.* extended attributes: "
                     << strerror(errno);

    ASSERT_TRUE(replaceFileSafely(path, writeNew));

    char read[64] = {};
    const ssize_t size = ::getxattr(native(path).constData(), "user.cadenza.test", read, sizeof read);
    EXPECT_EQ(QByteArray(read, int(std::max<ssize_t>(size, 0))), value);
    EXPECT_EQ(contentOf(path), "new content, longer than the old one");
}

TEST(SafeFileReplacement, FailedStepsLeaveTheOriginalExactlyAsItWas) {
    const ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("song.m4a"), "old content");
    const FileState before = stateOf(path);

    // The step damages the copy and reports failure, as a writer whose read-back differs would.
    const ReplacementResult failed = replaceFileSafely(path, [](const QByteArray& workingCopy) {
        EXPECT_EQ(::truncate(workingCopy.constData(), 3), 0);
        return false;
    });
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().reason, SaveFailure::Reason::writeStepFailed);
    EXPECT_EQ(stateOf(path), before);
    EXPECT_EQ(leftovers(folder.path()), QStringList());

    // Another program changes the file while the copy is written: its change stays, ours is not applied.
    const ReplacementResult raced = replaceFileSafely(path, [&](const QByteArray& workingCopy) {
        return writeNew(workingCopy) && overwriteFile(native(path), "changed by someone else");
    });
    ASSERT_FALSE(raced);
    EXPECT_EQ(raced.error().reason, SaveFailure::Reason::changedMeanwhile);
    EXPECT_EQ(contentOf(path), "changed by someone else");
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

TEST(SafeFileReplacement, AnythingButARegularFileIsRefusedUntouched) {
    const ScratchFolder folder;
    QDir(folder.path()).mkdir(QStringLiteral("folder.mp3"));
    ASSERT_EQ(::mkfifo(native(folder.filePath(QStringLiteral("pipe.mp3"))).constData(), 0644), 0);
    bool called = false;
    const auto step = [&](const QByteArray&) { return called = true; };
    for (const char* name : {"folder.mp3", "pipe.mp3", "missing.mp3"}) {
        const ReplacementResult result = replaceFileSafely(folder.filePath(QString::fromLatin1(name)), step);
        ASSERT_FALSE(result) << name;
        EXPECT_EQ(result.error().reason, SaveFailure::Reason::notRegularFile) << name;
    }
    EXPECT_FALSE(called);
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

TEST(SafeFileReplacement, ReadOnlyFilesAreRefusedEvenForRoot) {
    const ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("song.mp3"), "old content");
    ASSERT_EQ(::chmod(native(path).constData(), 0444), 0);
    const FileState before = stateOf(path);
    bool called = false;

    const ReplacementResult result =
        replaceFileSafely(path, [&](const QByteArray&) { return called = true; });

    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().reason, SaveFailure::Reason::notWritable);
    EXPECT_FALSE(called);
    EXPECT_EQ(stateOf(path), before);
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

// The permission checks of the kernel itself, which apply to every user but root.
TEST(SafeFileReplacement, PermissionsDecideForOtherUsers) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files to another user";
    const ScratchFolder folder;
    ASSERT_EQ(::chmod(native(folder.path()).constData(), 0777), 0);
    const QString theirs = folder.write(QStringLiteral("theirs.mp3"), "old content"); // root's, 0644
    const QString shared = folder.write(QStringLiteral("shared.mp3"), "old content");
    ASSERT_EQ(::chmod(native(shared).constData(), 0666), 0);
    const FileState theirsBefore = stateOf(theirs), sharedBefore = stateOf(shared);

    const int refused = runAsNobody([&] { return outcomeCode(replaceFileSafely(theirs, writeNew)); });
    if (refused == -1)
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(refused, refusedAsNotWritable);
    EXPECT_EQ(stateOf(theirs), theirsBefore);

    // Writable through "other" permissions, but a renamed copy would belong to nobody: written in place.
    EXPECT_EQ(runAsNobody([&] { return outcomeCode(replaceFileSafely(shared, writeNew)); }), savedInPlace);
    const FileState sharedAfter = stateOf(shared);
    EXPECT_EQ(sharedAfter.bytes, "new content, longer than the old one");
    EXPECT_EQ(sharedAfter.inode, sharedBefore.inode);
    EXPECT_EQ(sharedAfter.owner, 0u);

    // Root renames, and gives the new file its owner.
    ASSERT_EQ(::chown(native(theirs).constData(), 65534, 65534), 0);
    const ReplacementResult asRoot = replaceFileSafely(theirs, writeNew);
    ASSERT_TRUE(asRoot) << asRoot.error().description;
    EXPECT_EQ(asRoot.value().method, ReplacementMethod::renamed);
    EXPECT_EQ(stateOf(theirs).owner, 65534u);
    EXPECT_EQ(stateOf(theirs).group, 65534u);
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

TEST(SafeFileReplacement, AFileInAFolderThatIsNotWritableIsWrittenInPlace) {
    const ScratchFolder folder, temporary;
    const QString path = folder.write(QStringLiteral("song.ogg"), "old content");
    ASSERT_EQ(::chmod(native(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(native(folder.path()).constData(), 0555), 0);
    ASSERT_EQ(::chmod(native(temporary.path()).constData(), 0777), 0);
    const FileState before = stateOf(path);

    const std::optional<QByteArray> savedTemporary =
        qEnvironmentVariableIsSet("TMPDIR") ? std::make_optional(qgetenv("TMPDIR")) : std::nullopt;
    const auto save = [&] {
        qputenv("TMPDIR", native(temporary.path()));
        return outcomeCode(replaceFileSafely(path, writeNew));
    };
    const int outcome = ::geteuid() == 0 ? runAsNobody(save) : save();
    if (savedTemporary)
        qputenv("TMPDIR", *savedTemporary);
    else
        qunsetenv("TMPDIR");
    ::chmod(native(folder.path()).constData(), 0755);
    if (outcome == -1)
        GTEST_SKIP() << "cannot drop root privileges here";

    EXPECT_EQ(outcome, savedInPlace);
    EXPECT_EQ(contentOf(path), "new content, longer than the old one");
    EXPECT_EQ(stateOf(path).inode, before.inode);
    EXPECT_EQ(leftovers(temporary.path()), QStringList());
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

TEST(SafeFileReplacement, EveryHardLinkSeesTheNewContentOrEveryOneTheOld) {
    const ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("song.mp3"), "old content, longer than the new one");
    const QString other = folder.filePath(QStringLiteral("also.mp3"));
    ASSERT_EQ(::link(native(path).constData(), native(other).constData()), 0);
    const FileState before = stateOf(path);

    ASSERT_FALSE(replaceFileSafely(path, [](const QByteArray& copy) {
        writeNew(copy);
        return false;
    }));
    EXPECT_EQ(stateOf(path), before);
    EXPECT_EQ(stateOf(other), before);

    const ReplacementResult result =
        replaceFileSafely(path, [](const QByteArray& copy) { return overwriteFile(copy, "new"); });
    ASSERT_TRUE(result) << result.error().description;
    EXPECT_EQ(result.value().method, ReplacementMethod::rewrittenInPlace);
    EXPECT_EQ(contentOf(path), "new");
    EXPECT_EQ(contentOf(other), "new");
    EXPECT_EQ(stateOf(other).inode, before.inode);
    EXPECT_EQ(stateOf(other).links, 2u);
    EXPECT_EQ(leftovers(folder.path()), QStringList());

    const ReplacementResult raced = replaceFileSafely(path, [&](const QByteArray& copy) {
        return writeNew(copy) && overwriteFile(native(other), "changed through the other name");
    });
    ASSERT_FALSE(raced);
    EXPECT_EQ(raced.error().reason, SaveFailure::Reason::changedMeanwhile);
    EXPECT_EQ(contentOf(path), "changed through the other name");
}

// The new bytes stop halfway into the original (a write limit here; an I/O error or a full file system
// without fallocate elsewhere): the backup puts the old bytes back.
TEST(SafeFileReplacement, AnInPlaceWriteThatStopsHalfwayIsUndone) {
    const ScratchFolder folder;
    constexpr qint64 oldSize = 64 * 1024, newSize = 256 * 1024;
    const QString path = folder.write(QStringLiteral("song.mp3"), QByteArray(oldSize, 'o'));
    const QString other = folder.filePath(QStringLiteral("also.mp3"));
    ASSERT_EQ(::link(native(path).constData(), native(other).constData()), 0);
    const FileState before = stateOf(path);

    const int outcome = runInChild(withoutFallocate, [&] {
        return outcomeCode(replaceFileSafely(path, [&](const QByteArray& copy) {
            const rlimit limit{128 * 1024, RLIM_INFINITY};
            return overwriteFile(copy, QByteArray(newSize, 'n')) && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        }));
    });
    if (outcome == -1)
        GTEST_SKIP() << "cannot filter system calls here";

    EXPECT_EQ(outcome, failedToFinish);
    EXPECT_EQ(stateOf(path), before);
    EXPECT_EQ(stateOf(other).bytes, before.bytes);
    EXPECT_EQ(leftovers(folder.path()), QStringList());
}

TEST(SafeFileReplacement, SavingThroughASymbolicLinkReplacesItsTarget) {
    const ScratchFolder folder;
    const QString target = folder.write(QStringLiteral("music/song.mp3"), "old content");
    const QString link = folder.filePath(QStringLiteral("alias.mp3"));
    ASSERT_EQ(::symlink("music/song.mp3", native(link).constData()), 0);

    const ReplacementResult result = replaceFileSafely(link, writeNew);

    ASSERT_TRUE(result) << result.error().description;
    EXPECT_EQ(result.value().replacedPath, native(QFileInfo(target).canonicalFilePath()));
    EXPECT_EQ(contentOf(target), "new content, longer than the old one");
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QFileInfo(target).canonicalFilePath());
    EXPECT_EQ(leftovers(folder.path()), QStringList());
    EXPECT_EQ(leftovers(folder.filePath(QStringLiteral("music"))), QStringList());
}

// ---- A full file system ----

TEST(SafeFileReplacementFull, NoRoomForTheWorkingCopy) {
    const SmallFileSystem disk("1m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    const QString path = disk.filePath(QStringLiteral("song.mp3"));
    ASSERT_TRUE(overwriteFile(native(path), QByteArray(600 * 1024, 's')));
    const FileState before = stateOf(path);
    bool called = false;

    const ReplacementResult result =
        replaceFileSafely(path, [&](const QByteArray&) { return called = true; });

    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().reason, SaveFailure::Reason::noWorkingCopy);
    EXPECT_EQ(result.error().code, ENOSPC);
    EXPECT_FALSE(called);
    EXPECT_EQ(stateOf(path), before);
    EXPECT_EQ(leftovers(disk.path()), QStringList());
}

// Room for the working copy and the backup, but not for the original to grow into.
TEST(SafeFileReplacementFull, AHardLinkedFileThatCannotGrowIsRestored) {
    const SmallFileSystem disk("2m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    const QString path = disk.filePath(QStringLiteral("song.mp3"));
    const QString other = disk.filePath(QStringLiteral("also.mp3"));
    constexpr qint64 size = 200 * 1024, growth = 80 * 1024;
    ASSERT_TRUE(overwriteFile(native(path), QByteArray(size, 'o')));
    ASSERT_EQ(::link(native(path).constData(), native(other).constData()), 0);
    ASSERT_TRUE(disk.leaveFree(2 * size + growth + growth / 2));
    const FileState before = stateOf(path);

    const ReplacementResult result = replaceFileSafely(
        path, [&](const QByteArray& copy) { return overwriteFile(copy, QByteArray(size + growth, 'n')); });

    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().reason, SaveFailure::Reason::finishFailed) << result.error().description;
    EXPECT_EQ(result.error().code, ENOSPC);
    const FileState after = stateOf(path);
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(stateOf(other).bytes, before.bytes);
    EXPECT_EQ(leftovers(disk.path()), QStringList());
}

// ---- With the real writer ----

struct RecordDeleter {
    void operator()(CTagLibTag* tag) const { ctaglib_free_result(tag); }
};
using Record = std::unique_ptr<CTagLibTag, RecordDeleter>;

int writeTitle(const QByteArray& path, const char* title, const QByteArray& picture) {
    const CTagLibArtworkWrite artwork{reinterpret_cast<const uint8_t*>(picture.constData()), picture.size(),
                                      "image/jpeg", 3, nullptr};
    return ctaglib_write(path.constData(), title, "Artist", "", "", "", "", "", "", "", 0, 0, 0, 0, 0, 0, 0,
                         0, 0, 0, 0, 0, -1, picture.isEmpty() ? nullptr : &artwork,
                         picture.isEmpty() ? -1 : 1);
}

// The written file reads back with the title and the picture: what the editor's writer checks.
bool readsBack(const QByteArray& path, const char* title, qint64 pictureSize) {
    const Record record(ctaglib_read(path.constData()));
    return record && !record->error && record->title && qstrcmp(record->title, title) == 0 &&
           record->artworkCount == 1 && qint64(record->artwork[0].size) == pictureSize;
}

class SafeFileReplacementWithTagLib : public testing::TestWithParam<const char*> {};

// Written in place, TagLib reported success on such a file system and left it truncated.
TEST_P(SafeFileReplacementWithTagLib, ABigPictureOnAFullFileSystemLeavesTheFileDecodable) {
    const SmallFileSystem disk("2m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    const QString extension = QFileInfo(QString::fromLatin1(GetParam())).suffix();
    const QString path = disk.filePath(QStringLiteral("song.") + extension);
    QFile::copy(TestSupport::fixturePath(QString::fromLatin1(GetParam())), path);
    const QByteArray cover(300 * 1024, '\x11');
    ASSERT_EQ(writeTitle(native(path), "Before", cover), 0);

    // With room, the save goes through.
    const ReplacementResult roomy = replaceFileSafely(path, [](const QByteArray& copy) {
        return writeTitle(copy, "Saved", {}) == 0 && readsBack(copy, "Saved", 300 * 1024);
    });
    ASSERT_TRUE(roomy) << roomy.error().description;
    ASSERT_TRUE(readsBack(native(path), "Saved", 300 * 1024));

    ASSERT_TRUE(disk.leaveFree(QFileInfo(path).size() + 100 * 1024));
    const FileState before = stateOf(path);
    const QByteArray biggerCover(600 * 1024, '\x22');
    const ReplacementResult full = replaceFileSafely(path, [&](const QByteArray& copy) {
        return writeTitle(copy, "Too big", biggerCover) == 0 &&
               readsBack(copy, "Too big", biggerCover.size());
    });

    ASSERT_FALSE(full);
    EXPECT_EQ(stateOf(path), before);
    EXPECT_TRUE(readsBack(native(path), "Saved", 300 * 1024));
    EXPECT_EQ(leftovers(disk.path()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Formats, SafeFileReplacementWithTagLib,
                         testing::Values("tagged.mp3", "tagged.flac", "tagged.m4a"), [](const auto& info) {
                             return QFileInfo(QString::fromLatin1(info.param)).suffix().toStdString();
                         });

} // namespace
