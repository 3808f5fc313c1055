#include "CliRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

namespace {

// The program and its bridge library copied where an unprivileged user can
// reach them: the checkout, and with it the build, may lie in a folder only
// its owner can enter (root's home). Empty when they cannot be copied.
QString reachableCliPath() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/cadenza-cli-XXXXXX"));
    static const QString path = [] {
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        const QString program = folder.filePath(QStringLiteral("cadenza-cli"));
        const QString bridge = folder.filePath(QFileInfo(QStringLiteral(CADENZA_BRIDGE_PATH)).fileName());
        const bool copied = folder.isValid() && QFile::copy(QStringLiteral(CADENZA_CLI_PATH), program) &&
                            QFile::copy(QStringLiteral(CADENZA_BRIDGE_PATH), bridge) &&
                            QFile::setPermissions(folder.path(), everyone) &&
                            QFile::setPermissions(program, everyone) &&
                            QFile::setPermissions(bridge, everyone);
        return copied ? program : QString();
    }();
    return path;
}

} // namespace

CliRun runCli(const QStringList& arguments, bool asUnprivileged, const QProcessEnvironment& environment) {
    QProcess process;
    QProcessEnvironment runEnvironment = environment;
    if (asUnprivileged && ::geteuid() == 0) {
        const QString program = reachableCliPath();
        if (program.isEmpty())
            return {-1, {}, QStringLiteral("cannot copy cadenza-cli where an unprivileged user can run it")};
        // The copy's own folder comes before the build's, which that user may not enter.
        const QString folder = QFileInfo(program).path();
        const QString libraries = runEnvironment.value(QStringLiteral("LD_LIBRARY_PATH"));
        runEnvironment.insert(QStringLiteral("LD_LIBRARY_PATH"),
                              libraries.isEmpty() ? folder : folder + u':' + libraries);
        process.setProcessEnvironment(runEnvironment);
        process.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + arguments);
    } else {
        process.setProcessEnvironment(runEnvironment);
        process.start(QStringLiteral(CADENZA_CLI_PATH), arguments);
    }
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
