#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <memory>

class CommandCenter;
class DocumentViewModel;
class MainWindow;

// The application's one document, its command broadcast and its main window.
// Files opened from outside (the command line, a second launch) are imported
// into the same document, and the window comes to the front.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    DocumentViewModel* viewModel() const { return m_viewModel; }
    CommandCenter* commands() const { return m_commands; }
    MainWindow* mainWindow() const { return m_window.get(); }

    // Imports the files and folders (the import walks folders and skips what it
    // cannot read), then shows the window.
    void openFiles(const QList<QUrl>& urls);
    void showMainWindow();
    void showAbout();

    // Command-line arguments as file locations, relative to `workingDirectory`.
    static QList<QUrl> urlsFromArguments(const QStringList& arguments, const QString& workingDirectory);

private:
    DocumentViewModel* m_viewModel;
    CommandCenter* m_commands;
    std::unique_ptr<MainWindow> m_window;
};
