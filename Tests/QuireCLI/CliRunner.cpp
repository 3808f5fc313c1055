#include "CliRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

namespace {

// The program copied where an unprivileged user can reach it: the checkout,
// and with it the build, may lie in a folder only its owner can enter (root's
// home). Empty when it cannot be copied.
QString reachableCliPath() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/cadenza-cli-XXXXXX"));
    static const QString path = [] {
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        const QString program = folder.filePath(QStringLiteral("cadenza-cli"));
        const bool copied = folder.isValid() && QFile::copy(QStringLiteral(CADENZA_CLI_PATH), program) &&
                            QFile::setPermissions(folder.path(), everyone) &&
                            QFile::setPermissions(program, everyone);
        return copied ? program : QString();
    }();
    return path;
}

} // namespace

CliRun runCli(const QStringList& arguments, bool asUnprivileged, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (asUnprivileged && ::geteuid() == 0) {
        const QString program = reachableCliPath();
        if (program.isEmpty())
            return {-1, {}, QStringLiteral("cannot copy cadenza-cli where an unprivileged user can run it")};
        process.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + arguments);
    } else {
        process.start(QStringLiteral(CADENZA_CLI_PATH), arguments);
    }
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
