#include "Quire/AppDelegate.h"

#include "Quire/AppInfo.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/MainWindow/AboutDialog.h"
#include "Quire/Views/MainWindow/MainWindow.h"

#include <QDir>

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
    , m_viewModel(new DocumentViewModel(this))
    , m_commands(new CommandCenter(this))
    , m_window(std::make_unique<MainWindow>(m_viewModel, m_commands)) {
    connect(m_window.get(), &MainWindow::aboutRequested, this, &AppDelegate::showAbout);
}

// The window goes first: it observes the document.
AppDelegate::~AppDelegate() {
    m_window.reset();
}

void AppDelegate::openFiles(const QList<QUrl>& urls) {
    if (!urls.isEmpty())
        m_viewModel->importFiles(urls);
    showMainWindow();
}

void AppDelegate::showMainWindow() {
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::showAbout() {
    AboutDialog dialog(AppInfo::shortVersion(), AppInfo::feedbackURL(), m_window.get());
    dialog.exec();
}

QList<QUrl> AppDelegate::urlsFromArguments(const QStringList& arguments, const QString& workingDirectory) {
    QList<QUrl> urls;
    const QDir base(workingDirectory);
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (argument.startsWith(QStringLiteral("file:"))) {
            const QUrl url(argument);
            if (url.isLocalFile())
                urls.append(url);
            continue;
        }
        urls.append(QUrl::fromLocalFile(QDir::cleanPath(base.absoluteFilePath(argument))));
    }
    return urls;
}
