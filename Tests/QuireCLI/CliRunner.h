#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What one run of the built cadenza-cli printed and returned.
struct CliRun {
    int exitCode = -1; // -1 when it did not finish within a minute
    QString out;
    QString err;
};

// Runs the built cadenza-cli. `asUnprivileged` runs it as nobody when the
// tests run as root (root may write read-only files and read unreadable ones).
CliRun runCli(const QStringList& arguments, bool asUnprivileged = false,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
