#include "CliRunner.h"

#include <QProcess>
#include <unistd.h>

CliRun runCli(const QStringList& arguments, bool asUnprivileged, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (asUnprivileged && ::geteuid() == 0)
        process.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                  QStringLiteral(CADENZA_CLI_PATH)} +
                          arguments);
    else
        process.start(QStringLiteral(CADENZA_CLI_PATH), arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
