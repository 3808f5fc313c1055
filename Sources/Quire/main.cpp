#include "Quire/AppDelegate.h"
#include "Quire/DesktopAppearance.h"
#include "Quire/SingleInstance.h"
#include "Quire/ViewModels/Preferences.h"
#include "Quire/ViewModels/Translations.h"
#include "Quire/ViewModels/UnsavedJournal.h"
#include "Quire/Views/MainWindow/MainWindow.h"
#include "QuireTagHelper/TagHelper.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char** argv) {
    runTagWorkerIfRequested(argc, argv);
    QApplication app(argc, argv);
    installTranslations();
    QApplication::setOrganizationName(Preferences::organization);
    QApplication::setApplicationName(Preferences::application);
    QApplication::setApplicationVersion(QStringLiteral(CADENZA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("cadenza"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("cadenza"), QIcon(QStringLiteral(":/cadenza.svg"))));

    const QList<QUrl> urls = AppDelegate::urlsFromArguments(app.arguments().mid(1), QDir::currentPath());
    SingleInstance instance;
    if (instance.handOver(urls, 1000))
        return 0;
    instance.listen();

    // Before the first window, so that it opens in the desktop's light or dark palette.
    DesktopAppearance appearance;
    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::openRequested, &delegate, &AppDelegate::openFiles);
    QObject::connect(delegate.mainWindow(), &MainWindow::closeAccepted, &delegate,
                     &AppDelegate::closeUnsavedJournal);
    QObject::connect(delegate.mainWindow(), &MainWindow::closeAccepted, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    delegate.openFiles(urls);
    delegate.keepUnsavedJournal(UnsavedJournal::defaultFolder());
    return app.exec();
}
