#include "Quire/AppDelegate.h"

#include "Quire/AppInfo.h"
#include "Quire/SoftwareUpdater.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/UnsavedJournal.h"
#include "Quire/Views/Common/Alerts.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/MainWindow/AboutDialog.h"
#include "Quire/Views/MainWindow/MainWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#ifndef CADENZA_UPDATE_FEED_URL
#define CADENZA_UPDATE_FEED_URL ""
#endif

AppDelegate::AppDelegate(SoftwareUpdater* updater, QObject* parent)
    : QObject(parent)
    , m_viewModel(new DocumentViewModel(this))
    , m_commands(new CommandCenter(this))
    , m_updater(updater ? updater
                        : new AppcastUpdater(QUrl(QStringLiteral(CADENZA_UPDATE_FEED_URL)),
                                             QCoreApplication::applicationVersion()))
    , m_window(std::make_unique<MainWindow>(m_viewModel, m_commands)) {
    m_updater->setParent(this);
    connect(m_window.get(), &MainWindow::aboutRequested, this, &AppDelegate::showAbout);
    connect(m_window.get(), &MainWindow::checkForUpdatesRequested, m_updater,
            &SoftwareUpdater::checkForUpdates);
    connect(m_updater, &SoftwareUpdater::canCheckForUpdatesChanged, this,
            [this] { m_window->setCanCheckForUpdates(m_updater->canCheckForUpdates()); });
    connect(m_updater, &SoftwareUpdater::checkFinished, this, &AppDelegate::showUpdateResult);
    m_window->setUpdatesOffered(m_updater->isAvailable());
    m_window->setCanCheckForUpdates(m_updater->canCheckForUpdates());
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

void AppDelegate::showUpdateResult(const UpdateCheckResult& result) {
    const QString title = tr("Check for Updates");
    QMessageBox* box = nullptr;
    switch (result.kind) {
    case UpdateCheckResult::Kind::newerAvailable: {
        box = Alerts::create(
            QMessageBox::Information, tr("A newer version of Cadenza is available."),
            tr("Version %1 is available; you have %2.").arg(result.latestVersion, AppInfo::shortVersion()),
            m_window.get(), title);
        QPushButton* download = box->addButton(tr("Download"), QMessageBox::AcceptRole);
        box->addButton(tr("Not Now"), QMessageBox::RejectRole);
        const QUrl url = result.downloadUrl;
        connect(download, &QPushButton::clicked, this, [url] {
            if (url.scheme() == u"https" || url.scheme() == u"http")
                QDesktopServices::openUrl(url);
        });
        break;
    }
    case UpdateCheckResult::Kind::upToDate:
        box = Alerts::create(QMessageBox::Information, tr("Cadenza is up to date."),
                             tr("Version %1 is the newest version.").arg(AppInfo::shortVersion()),
                             m_window.get(), title);
        box->addButton(tr("OK"), QMessageBox::AcceptRole);
        break;
    case UpdateCheckResult::Kind::failed:
        box = Alerts::create(QMessageBox::Warning, tr("Couldn’t check for updates."), result.error,
                             m_window.get(), title);
        box->addButton(tr("OK"), QMessageBox::AcceptRole);
        break;
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void AppDelegate::keepUnsavedJournal(const QString& folder) {
    // Found before this run's journal exists, so that it is never among them.
    const UnsavedJournal::Found found = UnsavedJournal::leftovers(folder);
    m_journal = std::make_unique<UnsavedJournal>(*m_viewModel, folder);
    for (const QString& reason : found.setAside)
        m_viewModel->notices().post(Notice::Kind::unsaved, reason);
    for (const UnsavedJournal::Leftover& leftover : found.leftovers) {
        const QString when =
            QLocale().toString(leftover.changes.written.toLocalTime(), QStringLiteral("d MMMM, HH:mm"));
        QMessageBox* box = Alerts::create(
            QMessageBox::Question,
            tr("Unsaved changes to %n files from %1", nullptr, int(leftover.changes.files.size())).arg(when),
            tr("Cadenza ended before they were saved. Restore them to go on where you left off: the files "
               "open with the changes, still unsaved. Files changed on disk since then are left as they "
               "are."),
            m_window.get(), tr("Unsaved Changes"));
        QPushButton* restore = box->addButton(tr("Restore"), QMessageBox::AcceptRole);
        box->addButton(tr("Discard"), QMessageBox::DestructiveRole);
        box->setDefaultButton(restore);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, this, [this, box, restore, leftover] {
            if (box->clickedButton() != restore) {
                UnsavedJournal::remove(leftover);
                return;
            }
            UnsavedJournal::restore(
                *m_viewModel, leftover.changes, [this, leftover](const QList<UnsavedFile>& notApplied) {
                    m_journal->flush(); // now this run's journal holds them
                    if (notApplied.isEmpty()) {
                        UnsavedJournal::remove(leftover);
                        return;
                    }
                    // The changes that could not be applied stay in the old journal.
                    QStringList paths;
                    for (const UnsavedFile& file : notApplied)
                        paths.append(file.url.toLocalFile());
                    const QString kept = leftover.path + QStringLiteral(".not-restored");
                    QFile::rename(leftover.path, kept);
                    m_viewModel->notices().post(
                        Notice::Kind::unsaved,
                        tr("%n files changed on disk since their changes were made, which "
                           "were therefore not restored. They are kept in “%1”.",
                           nullptr, int(paths.size()))
                            .arg(kept),
                        paths);
                });
        });
        box->open();
    }
}

void AppDelegate::closeUnsavedJournal() {
    if (m_journal)
        m_journal->close();
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
