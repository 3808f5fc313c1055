// A real save of a hard-linked file (written in place, behind a backup), killed at random moments: the next
// run puts things right, tells the user, and every file still decodes to its original audio.
#include "CliRunner.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ino_t inodeOf(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

// Starts a save of a new title and kills it after `delay` milliseconds (or lets it finish when negative).
// Returns how long the run took.
qint64 saveAndKill(const QString& path, int titleLength, int delay) {
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    cli.start(QStringLiteral(CADENZA_CLI_PATH),
              {"-c", QStringLiteral("set title '%1'").arg(QString(titleLength, u'n')), "-c", "save", path});
    if (!cli.waitForStarted())
        return -1;
    if (delay >= 0) {
        QThread::msleep(delay);
        ::kill(pid_t(cli.processId()), SIGKILL);
    }
    cli.waitForFinished(60000);
    return timer.elapsed();
}

TEST(InterruptedSave, KilledAtRandomMomentsTheNextRunRestoresOrKeepsEveryVersion) {
    const TestSupport::ScratchFolder folder;
    const QString path = folder.filePath(QStringLiteral("song.mp3"));
    const QString other = folder.filePath(QStringLiteral("also.mp3"));
    // Large enough that copying it in takes a while: MPEG frames simply follow each other.
    const QByteArray frames = [] {
        QFile fixture(TestSupport::fixturePath(QStringLiteral("untagged.mp3")));
        return fixture.open(QIODevice::ReadOnly) ? fixture.readAll() : QByteArray();
    }();
    const QByteArray original = frames.repeated(1500);
    auto freshFile = [&] {
        QFile::remove(path);
        QFile::remove(other);
        folder.write(QStringLiteral("song.mp3"), original);
        return ::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) == 0;
    };
    ASSERT_TRUE(freshFile());
    const QByteArray audio = TestSupport::decodedAudioDigest(path);
    ASSERT_FALSE(audio.isEmpty()) << "needs ffmpeg";
    const qint64 duration = saveAndKill(path, 40, -1);
    ASSERT_GT(duration, 0);

    QRandomGenerator random(16);
    int interrupted = 0, told = 0;
    for (int run = 0; run < 40; ++run) {
        ASSERT_TRUE(freshFile());
        // The save proper comes last, after starting up and reading the file.
        saveAndKill(path, random.bounded(1, 4000), int(duration / 3 + random.bounded(duration)));
        if (!TestSupport::hiddenSaveLeftovers(folder.path()).isEmpty())
            ++interrupted;

        const CliRun next = runCli({folder.path()});
        const QStringList lines =
            next.err.split(u'\n', Qt::SkipEmptyParts).filter(QStringLiteral("interrupted"));
        ASSERT_LE(lines.size(), 1) << next.err;
        if (!lines.isEmpty()) {
            ++told;
            EXPECT_TRUE(lines[0].startsWith(path)) << lines[0];
        }
        EXPECT_EQ(TestSupport::hiddenSaveLeftovers(folder.path()), QStringList()) << "run " << run;
        EXPECT_EQ(TestSupport::decodedAudioDigest(path), audio) << "run " << run;
        EXPECT_EQ(inodeOf(path), inodeOf(other)) << "run " << run;
        // A backup kept in sight is an intact version too.
        const QString backup = path + QStringLiteral(".backup");
        if (QFile::exists(backup)) {
            EXPECT_EQ(lines.size(), 1);
            EXPECT_EQ(TestSupport::decodedAudioDigest(backup), audio) << "run " << run;
        }
        QFile::remove(backup);
        QFile::remove(path + QStringLiteral(".before-restore"));
    }
    // Otherwise the runs never met what they are meant to test.
    EXPECT_GT(interrupted, 0);
    RecordProperty("interrupted", interrupted);
    RecordProperty("told", told);
}

} // namespace
