#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <memory>

class CommandCenter;
class DocumentViewModel;
class MainWindow;
class SoftwareUpdater;
class UnsavedJournal;
struct UpdateCheckResult;

// The application's one document, its command broadcast and its main window.
// Files opened from outside (the command line, a second launch) are imported
// into the same document, and the window comes to the front.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Without an updater, the feed configured at build time is checked (none: no checks).
    explicit AppDelegate(SoftwareUpdater* updater = nullptr, QObject* parent = nullptr);
    ~AppDelegate() override;

    DocumentViewModel* viewModel() const { return m_viewModel; }
    CommandCenter* commands() const { return m_commands; }
    MainWindow* mainWindow() const { return m_window.get(); }
    SoftwareUpdater* updater() const { return m_updater; }

    // Imports the files and folders (the import walks folders and skips what it
    // cannot read), then shows the window.
    void openFiles(const QList<QUrl>& urls);
    void showMainWindow();
    void showAbout();
    // Tells the user what an update check found, without blocking the window.
    void showUpdateResult(const UpdateCheckResult& result);

    // Keeps a journal of the unsaved changes in `folder`, so that a crash
    // loses none of them, and offers to restore or discard what an earlier run
    // that ended without quitting left there.
    void keepUnsavedJournal(const QString& folder);
    // The program quits with the user's consent: what is unsaved now is not wanted.
    void closeUnsavedJournal();
    UnsavedJournal* unsavedJournal() const { return m_journal.get(); }

    // Command-line arguments as file locations, relative to `workingDirectory`.
    static QList<QUrl> urlsFromArguments(const QStringList& arguments, const QString& workingDirectory);

private:
    DocumentViewModel* m_viewModel;
    CommandCenter* m_commands;
    SoftwareUpdater* m_updater;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<UnsavedJournal> m_journal;
};
