// The command line against files that crash or hang the tag parser, and files
// it may not read: it finishes, names them, and goes on with the rest.
#include "Support/TestSupport.h"

#include "CliRunner.h"
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QProcessEnvironment environmentWithFaults() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CADENZA_TEST_TAG_HELPER_FAULTS"),
                       QStringLiteral("crash=@crash@;hang=@hang@;picture-crash=@picture-crash@"));
    environment.insert(QStringLiteral("CADENZA_TAG_HELPER_TIMEOUT_MS"), QStringLiteral("2000"));
    return environment;
}

CliRun cli(const QStringList& arguments, bool asUnprivileged = false) {
    return runCli(arguments, asUnprivileged, environmentWithFaults());
}

QByteArray fixtureBytes(const QString& name) {
    QFile file(TestSupport::fixturePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The children of every thread of a process.
QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(pid), QDir::Dirs | QDir::NoDotAndDotDot);
    while (tasks.hasNext()) {
        QFile list(tasks.next() + QStringLiteral("/children"));
        if (list.open(QIODevice::ReadOnly))
            for (const QByteArray& child : list.readAll().split(' '))
                if (!child.trimmed().isEmpty())
                    children.append(child.trimmed().toLongLong());
    }
    return children;
}

// Gone, or a zombie waiting for a parent that does not reap.
bool hasEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray fields = stat.readAll();
    return fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z";
}

TEST(HostileCli, CrashingAndHangingFilesFailAndTheRestIsListed) {
    TestSupport::ScratchFolder folder;
    const QByteArray mp3 = fixtureBytes(QStringLiteral("tagged.mp3"));
    folder.write(QStringLiteral("good.mp3"), mp3);
    folder.write(QStringLiteral("good.flac"), fixtureBytes(QStringLiteral("tagged.flac")));
    folder.write(QStringLiteral("@crash@.mp3"), mp3);
    folder.write(QStringLiteral("@hang@.mp3"), mp3);

    QElapsedTimer timer;
    timer.start();
    const CliRun run = cli({"-c", "list", folder.path()});
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.err.contains(QStringLiteral("@crash@.mp3\n")) &&
                run.err.contains(QStringLiteral("@hang@.mp3\n")))
        << run.err;
    EXPECT_TRUE(run.out.contains(QStringLiteral("good.mp3")) && run.out.contains(QStringLiteral("good.flac")))
        << run.out;
}

TEST(HostileCli, AnImageFileThatCrashesTheDecoderIsNotAPictureAndTheFileIsLeftAlone) {
    TestSupport::ScratchFolder folder;
    const QByteArray mp3 = fixtureBytes(QStringLiteral("untagged.mp3"));
    const QString song = folder.write(QStringLiteral("song.mp3"), mp3);
    const QString image =
        folder.write(QStringLiteral("covers/@picture-crash@.png"), TestSupport::encodedImage(40, 30, "PNG"));
    const CliRun run = cli({"-c", QStringLiteral("set-artwork '%1'").arg(image), "-c", "save", song});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.err.contains(QStringLiteral("is not a picture that can be read."))) << run.err;
    QFile unchanged(song);
    ASSERT_TRUE(unchanged.open(QIODevice::ReadOnly));
    EXPECT_EQ(unchanged.readAll(), mp3);
}

TEST(HostileCli, UnreadableFilesAreNamedForAnUnprivilegedUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    TestSupport::ScratchFolder folder;
    folder.write(QStringLiteral("good.mp3"), fixtureBytes(QStringLiteral("tagged.mp3")));
    const QString locked =
        folder.write(QStringLiteral("locked.mp3"), fixtureBytes(QStringLiteral("tagged.mp3")));
    const QString lockedFolder = QFileInfo(folder.write(QStringLiteral("closed/inside.mp3"), {})).path();
    QFile::setPermissions(locked, {});
    QFile::setPermissions(lockedFolder, {});
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther);

    const CliRun run = cli({"-c", "list", folder.path(), locked}, true);
    QFile::setPermissions(lockedFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.err.contains(QStringLiteral("\nlocked.mp3"))) << run.err;
    EXPECT_FALSE(run.err.contains(QStringLiteral("inside.mp3"))) << run.err; // never seen, so never named
    EXPECT_TRUE(run.out.contains(QStringLiteral("good.mp3"))) << run.out;
}

TEST(HostileCli, HelpersEndWithTheProgram) {
    TestSupport::ScratchFolder folder;
    folder.write(QStringLiteral("@hang@.mp3"), fixtureBytes(QStringLiteral("tagged.mp3")));
    QProcess process;
    QProcessEnvironment environment = environmentWithFaults();
    environment.insert(QStringLiteral("CADENZA_TAG_HELPER_TIMEOUT_MS"), QStringLiteral("600000"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CADENZA_CLI_PATH), {folder.path()});
    ASSERT_TRUE(process.waitForStarted());

    QList<qint64> helpers;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !(helpers = childrenOf(process.processId())).isEmpty(); }, 10000));
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished());
    for (const qint64 helper : std::as_const(helpers))
        EXPECT_TRUE(QTest::qWaitFor([&] { return hasEnded(helper); }, 5000)) << helper;
}

} // namespace
