#include "CliCommand.h"
#include "CliSession.h"
#include "Platform/FileSystem.h"
#include "Quire/ViewModels/Preferences.h"
#include "Quire/ViewModels/Translations.h"
#include "QuireTagHelper/TagHelper.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QTextStream>
#include <cstdio>

namespace {

enum ExitStatus { success = 0, failure = 1, usageError = 2 };

} // namespace

int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    QCoreApplication app(argc, argv);
    installTranslations();
    QCoreApplication::setApplicationName(QStringLiteral("cadenza-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    // Everything is checked before anything runs, so a usage error changes nothing.
    bool json = false;
    bool missing = false;
    bool dryRun = false;
    // New ID3v2 tags as the editor makes them, unless --id3v2 says otherwise.
    const QSettings preferences(Preferences::organization, Preferences::application);
    int id3v2Version = Preferences::newId3v2Version(preferences);
    QString readCache = Preferences::readCachePath(preferences);
    QList<CliCommand> commands;
    QList<QUrl> locations;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    // Paths whose bytes are not UTF-8 arrive with U+FFFD in their place and name no file.
    QSet<QString> withoutUtf8;
    for (int i = 1; i < argc; ++i)
        if (!Platform::hasUtf8Name(argv[i]))
            withoutUtf8.insert(QFile::decodeName(argv[i]));
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"-h" || argument == u"--help") {
            out << cliHelpText();
            return success;
        }
        if (argument == u"--version") {
            out << "cadenza-cli " << QStringLiteral(CADENZA_VERSION) << Qt::endl;
            return success;
        }
        if (argument == u"--json") {
            json = true;
        } else if (argument == u"--dry-run") {
            dryRun = true;
        } else if (argument == u"--no-cache") {
            readCache.clear();
        } else if (argument == u"--id3v2") {
            const QString version = i + 1 < arguments.size() ? arguments[++i] : QString();
            if (version != u"3" && version != u"4") {
                err << "cadenza-cli: --id3v2 takes 3 or 4" << Qt::endl;
                return usageError;
            }
            id3v2Version = version.toInt();
        } else if (argument == u"-c") {
            if (i + 1 == arguments.size()) {
                err << "cadenza-cli: -c needs a command" << Qt::endl;
                return usageError;
            }
            Result<CliCommand, QString> command = parseCliCommand(arguments[++i]);
            if (!command) {
                err << "cadenza-cli: " << command.error() << Qt::endl;
                return usageError;
            }
            commands.append(std::move(command).value());
        } else if (argument.startsWith(u'-') && argument != u"-") {
            err << "cadenza-cli: unknown option “" << argument << "” (see --help)" << Qt::endl;
            return usageError;
        } else if (withoutUtf8.contains(argument)) {
            err << "cadenza-cli: “" << argument
                << "” has a name that isn’t valid UTF-8, so it can’t be opened; rename it" << Qt::endl;
            missing = true;
        } else if (!QFileInfo::exists(argument)) {
            // Reported, not run: the commands then act on what was found.
            err << "cadenza-cli: “" << argument << "” does not exist" << Qt::endl;
            missing = true;
        } else {
            locations.append(QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));
        }
    }
    if (locations.isEmpty()) {
        if (missing)
            return failure;
        err << "cadenza-cli: no files or folders given (see --help)" << Qt::endl;
        return usageError;
    }

    DocumentViewModel document;
    document.setNewId3v2Version(id3v2Version);
    document.setReadCachePath(readCache);
    document.releaseLookup().setServices(Preferences::lookupServices(preferences));
    CliSession session(document, out, err, json);
    session.setDryRun(dryRun);
    int status = session.load(locations) == CliSession::Status::ok && !missing ? success : failure;
    // A command that fails stops the run: what a script asks next (a save, say)
    // may rely on it, as "set" after a "select" that matched nothing would.
    for (const CliCommand& command : std::as_const(commands)) {
        const bool ok = session.run(command) == CliSession::Status::ok;
        out.flush();
        if (!ok) {
            err << "cadenza-cli: “" << command.line << "” failed; the commands after it did not run."
                << Qt::endl;
            status = failure;
            break;
        }
    }
    session.finish();
    if (dryRun)
        return session.undoEverything() == CliSession::Status::ok ? status : failure;
    session.reportUnsavedChanges();
    return status;
}
