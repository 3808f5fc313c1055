// Saves stopped dead at each step, as a crash or a power loss would stop them, and what the recovery makes
// of what they left: every file keeps its audio, and nothing of ours stays hidden.
#include "QuireCore/SafeFileReplacement.h"
#include "QuireCore/SaveRecovery.h"

#include "CTagLibBridge.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using TestSupport::ScratchFolder;

namespace {

using Kind = SaveLeftover::Kind;
using Outcome = SaveRecoveryNote::Outcome;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool readable(const QString& path) {
    CTagLibTag* tag = ctaglib_read(native(path).constData());
    const bool ok = tag && !tag->error && tag->sampleRate > 0;
    ctaglib_free_result(tag);
    return ok;
}

QList<SaveRecoveryNote> recoverAll(const QString& folder) {
    return recoverInterruptedSaves(
        folder, [](const QByteArray&) { return true; }, readable);
}

int writeTitle(const QByteArray& path, const char* title) {
    return ctaglib_write(path.constData(), title, "Artist", "", "", "", "", "", "", "", 0, 0, 0, 0, 0, 0, 0,
                         0, 0, 0, 0, 0, -1, nullptr, -1);
}

// What the test's hook does at the step it stops at.
SaveStep stopAt = SaveStep::workingCopyMade;
bool tearOriginal = false;

void stopDead(SaveStep step, const QByteArray& original) {
    if (step != stopAt)
        return;
    if (tearOriginal) {
        // The new bytes reached only part of the file before the power went: its second half is zeros.
        const int fd = ::open(original.constData(), O_WRONLY);
        struct stat status {};
        ::fstat(fd, &status);
        const QByteArray zeros(status.st_size / 2, '\0');
        (void)!::pwrite(fd, zeros.constData(), zeros.size(), status.st_size - zeros.size());
        ::close(fd);
    }
    _exit(0);
}

// Saves a long title into the file in a child process that dies at `step`, as a crash would.
void saveAndDieAt(const QString& path, SaveStep step, bool tear) {
    stopAt = step;
    tearOriginal = tear;
    const pid_t child = fork();
    if (child == 0) {
        setSaveStepHookForTesting(stopDead);
        replaceFileSafely(path, [](const QByteArray& copy) {
            return writeTitle(copy, "A title long enough to move the audio further into the file") == 0;
        });
        _exit(1); // the save did not reach the step
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save never reached the step";
}

TEST(SaveRecovery, OnlyOurOwnNamesAreLeftovers) {
    for (const QByteArray& file :
         {QByteArray("song.mp3"), QByteArray("no extension"), QByteArray("a.b.flac"),
          QByteArray("song.averyverylongextension"), QByteArray(300, 'x') + ".ogg"}) {
        for (const Kind kind : {Kind::workingCopy, Kind::backup}) {
            const QByteArray name = saveLeftoverName(file, kind, 0x0f3a9c21);
            ASSERT_LE(name.size(), NAME_MAX);
            const std::optional<SaveLeftover> parsed = parseSaveLeftoverName(name);
            ASSERT_TRUE(parsed) << name.toStdString();
            EXPECT_EQ(parsed->kind, kind);
            EXPECT_EQ(parsed->id, 0x0f3a9c21u);
            EXPECT_TRUE(file.startsWith(parsed->fileName));
            EXPECT_EQ(saveLeftoverName(file, kind, parsed->id), name);
        }
    }
    EXPECT_EQ(saveLeftoverName("song.mp3", Kind::backup, 0x1a), ".song.mp3.0000001a.cadenza-backup.mp3");
    for (const char* other : {"song.mp3", ".song.mp3.swp", "song.mp3.0000001a.cadenza-backup.mp3",
                              ".song.mp3.0000001A.cadenza-backup.mp3", ".song.mp3.001a.cadenza-backup.mp3",
                              ".song.mp3.0000001a.cadenza-backup.flac",
                              ".song.mp3.0000001a.cadenza-backups.mp3", ".0000001a.cadenza-save"})
        EXPECT_FALSE(parseSaveLeftoverName(other)) << other;
}

struct Interruption {
    SaveStep step;
    bool tear;
    Outcome expected; // when nothing is expected: the file is as before the save and no note is given
    bool noted;
};

class SaveInterrupted : public testing::TestWithParam<Interruption> {};

// A hard-linked file is written in place, behind a backup: the save's riskiest way.
TEST_P(SaveInterrupted, TheNextImportLeavesTheAudioWholeAndNothingHidden) {
    const Interruption interruption = GetParam();
    const ScratchFolder folder;
    const QString path = folder.filePath(QStringLiteral("song.flac"));
    const QString other = folder.filePath(QStringLiteral("also.flac"));
    ASSERT_TRUE(QFile::copy(TestSupport::fixturePath(QStringLiteral("tagged.flac")), path));
    ASSERT_EQ(::link(native(path).constData(), native(other).constData()), 0);
    const QByteArray before = contentOf(path);
    const QByteArray audio = TestSupport::decodedAudioDigest(path);
    ASSERT_FALSE(audio.isEmpty());

    saveAndDieAt(path, interruption.step, interruption.tear);
    // Only a complete backup carries the name the recovery restores from.
    const bool backupNamed =
        !QDir(folder.path())
             .entryList({QStringLiteral(".*.cadenza-backup*")}, QDir::Files | QDir::Hidden)
             .isEmpty();
    EXPECT_EQ(backupNamed, interruption.step >= SaveStep::backupReady);
    const QList<SaveRecoveryNote> notes = recoverAll(folder.path());

    EXPECT_EQ(TestSupport::hiddenSaveLeftovers(folder.path()), QStringList());
    EXPECT_EQ(TestSupport::decodedAudioDigest(path), audio);
    EXPECT_EQ(contentOf(other), contentOf(path)); // still one file
    if (!interruption.noted) {
        EXPECT_EQ(notes, QList<SaveRecoveryNote>());
        EXPECT_EQ(contentOf(path), before);
        return;
    }
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].outcome, interruption.expected);
    EXPECT_EQ(notes[0].file, path);
    const QString kept = folder.filePath(notes[0].keptAs);
    if (interruption.expected == Outcome::keptBoth) {
        // The newer file stays; the older content is kept in sight.
        EXPECT_NE(contentOf(path), before);
        EXPECT_EQ(contentOf(kept), before);
    } else {
        EXPECT_EQ(contentOf(path), before);
        EXPECT_TRUE(QFile::exists(kept));
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SaveInterrupted,
    testing::Values(Interruption{SaveStep::workingCopyMade, false, {}, false},
                    Interruption{SaveStep::workingCopyWritten, false, {}, false},
                    Interruption{SaveStep::backupCopied, false, {}, false},
                    Interruption{SaveStep::backupReady, false, {}, false},
                    // Zeros in the audio still read as audio: what the file held is kept beside it.
                    Interruption{SaveStep::backupReady, true, Outcome::restoredKeptCurrent, true},
                    Interruption{SaveStep::originalRewritten, false, Outcome::keptBoth, true},
                    Interruption{SaveStep::originalRewritten, true, Outcome::restoredKeptCurrent, true}),
    [](const auto& info) { return "Step" + std::to_string(info.index); });

TEST(SaveRecovery, ARenamedSaveLeavesNothingBehind) {
    const ScratchFolder folder;
    const QString path = folder.filePath(QStringLiteral("song.flac"));
    ASSERT_TRUE(QFile::copy(TestSupport::fixturePath(QStringLiteral("tagged.flac")), path));
    const QByteArray audio = TestSupport::decodedAudioDigest(path);
    saveAndDieAt(path, SaveStep::renamed, false);
    EXPECT_EQ(recoverAll(folder.path()), QList<SaveRecoveryNote>());
    EXPECT_EQ(TestSupport::hiddenSaveLeftovers(folder.path()), QStringList());
    EXPECT_EQ(TestSupport::decodedAudioDigest(path), audio);
}

TEST(SaveRecovery, ALeftoverOfASaveStillRunningIsLeftAlone) {
    const ScratchFolder folder;
    const QString path = folder.filePath(QStringLiteral("song.flac"));
    ASSERT_TRUE(QFile::copy(TestSupport::fixturePath(QStringLiteral("tagged.flac")), path));
    const QString backup =
        folder.filePath(QString::fromLatin1(saveLeftoverName("song.flac", Kind::backup, 7)));
    ASSERT_TRUE(QFile::copy(path, backup));
    ASSERT_EQ(writeTitle(native(path), "Half written, as far as anyone can tell"), 0);

    const int running = ::open(native(backup).constData(), O_RDONLY);
    ASSERT_EQ(::flock(running, LOCK_EX), 0);
    EXPECT_EQ(recoverAll(folder.path()), QList<SaveRecoveryNote>());
    EXPECT_TRUE(QFile::exists(backup));
    ::close(running);

    // Once that save is gone, its backup is taken; the file, still readable, is kept beside it.
    const QList<SaveRecoveryNote> notes = recoverAll(folder.path());
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].outcome, Outcome::restoredKeptCurrent);
    EXPECT_EQ(notes[0].keptAs, QStringLiteral("song.flac.before-restore"));
    EXPECT_EQ(contentOf(path), contentOf(TestSupport::fixturePath(QStringLiteral("tagged.flac"))));
    EXPECT_EQ(TestSupport::hiddenSaveLeftovers(folder.path()), QStringList());
}

TEST(SaveRecovery, AMissingFileComesBackAndABrokenBackupIsNeverRestoredFrom) {
    const ScratchFolder folder;
    const QByteArray original = contentOf(TestSupport::fixturePath(QStringLiteral("tagged.flac")));
    folder.write(QString::fromLatin1(saveLeftoverName("gone.flac", Kind::backup, 1)), original);
    folder.write(QString::fromLatin1(saveLeftoverName("kept.flac", Kind::backup, 2)), original.left(20));
    const QString kept = folder.write(QStringLiteral("kept.flac"), original);
    ASSERT_EQ(writeTitle(native(kept), "Newer"), 0);
    const QByteArray newer = contentOf(kept);
    // Another program's file of the same look is none of ours.
    folder.write(QStringLiteral(".gone.flac.0000001.cadenza-backup.flac"), "theirs");

    const QList<SaveRecoveryNote> notes = recoverAll(folder.path());
    ASSERT_EQ(notes.size(), 2);
    for (const SaveRecoveryNote& note : notes) {
        if (note.file.endsWith(u"gone.flac")) {
            EXPECT_EQ(note.outcome, Outcome::restored);
        } else {
            EXPECT_EQ(note.outcome, Outcome::keptBoth);
            EXPECT_EQ(note.keptAs, QStringLiteral("kept.flac.backup"));
        }
    }
    EXPECT_EQ(contentOf(folder.filePath(QStringLiteral("gone.flac"))), original);
    EXPECT_EQ(contentOf(kept), newer);
    EXPECT_EQ(TestSupport::hiddenSaveLeftovers(folder.path()),
              QStringList{".gone.flac.0000001.cadenza-backup.flac"});
}

// A file in a folder it cannot write to is saved in place behind a backup in a temporary folder; the
// backup names its file, so that recovery finds it there. Run as nobody (permissions do not stop root), and
// so are only the leftovers of that user taken.
TEST(SaveRecovery, ABackupInATemporaryFolderNamesItsFileAndIsRestoredFrom) {
    const ScratchFolder folder, temporary;
    const QString path = folder.filePath(QStringLiteral("song.flac"));
    ASSERT_TRUE(QFile::copy(TestSupport::fixturePath(QStringLiteral("tagged.flac")), path));
    const QByteArray before = contentOf(path);
    const QByteArray audio = TestSupport::decodedAudioDigest(path);
    ASSERT_EQ(::chmod(native(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(native(folder.path()).constData(), 0555), 0);
    ASSERT_EQ(::chmod(native(temporary.path()).constData(), 0777), 0);
    if (::setxattr(native(temporary.path()).constData(), "user.cadenza.probe", "x", 1, 0) != 0 &&
        errno == ENOTSUP)
        GTEST_SKIP() << "the scratch file system takes no user attributes";

    const QByteArray savedTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", native(temporary.path()));
    QList<SaveRecoveryNote> notes;
    const pid_t child = fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                                 ::setresuid(65534, 65534, 65534) != 0))
            _exit(99);
        saveAndDieAt(path, SaveStep::originalRewritten, true);
        const QList<SaveRecoveryNote> found = recoverInterruptedSavesElsewhere(
            {native(temporary.path())}, [&](const QString& file) { return file == path; }, readable);
        const bool restored = found.size() == 1 && found[0].outcome == Outcome::restoredKeptCurrent &&
                              found[0].file == path && found[0].keptAs.startsWith(temporary.path() + u'/');
        _exit(restored ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    savedTemporary.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", savedTemporary);
    ::chmod(native(folder.path()).constData(), 0755);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 99)
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the recovery did not restore the file";
    EXPECT_EQ(contentOf(path), before);
    EXPECT_EQ(TestSupport::decodedAudioDigest(path), audio);
    EXPECT_EQ(TestSupport::hiddenSaveLeftovers(temporary.path()), QStringList());
}

} // namespace
