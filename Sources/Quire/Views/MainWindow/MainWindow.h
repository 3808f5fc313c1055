#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

class CommandCenter;
class CommandPaletteView;
class CommandRegistry;
class InspectorView;
class PreferencesWindow;
class DocumentViewModel;
class EmptyStateView;
class FileFilterBar;
class FileListView;
class ImportProgressOverlay;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QuitDecision;
class StatusBarView;

// The one working window: the filter field over the file list with the
// inspector's pane beside them (or the empty state), the toolbar, the status
// bar, the import overlay and the save error alert. It builds its menus and
// toolbar from the command registry and handles the commands posted for the
// window, moving the focus between those panes for F6. The inspector's
// visibility is the window's own and is kept in the settings.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(DocumentViewModel* document, CommandCenter* commands, QWidget* parent = nullptr);

    CommandRegistry* commandRegistry() const { return m_registry; }
    // The registry's action of a command name.
    QAction* action(const QString& name) const;
    QPushButton* toolbarSaveButton() const { return m_saveButton; }
    QToolButton* artworkButton() const { return m_artworkButton; }
    FileListView* fileList() const { return m_fileList; }
    FileFilterBar* filterBar() const { return m_filterBar; }
    EmptyStateView* emptyState() const { return m_emptyState; }
    StatusBarView* statusBarView() const { return m_statusBar; }
    ImportProgressOverlay* importOverlay() const { return m_importOverlay; }
    InspectorView* inspectorPane() const { return m_inspectorPane; }
    bool isInspectorShown() const { return m_inspectorShown; }
    void setInspectorShown(bool shown);
    // The save error alert while it is shown.
    // The alert showing the oldest of the document's notices.
    QMessageBox* noticeAlert() const { return m_noticeAlert; }
    bool isCommandPaletteShown() const { return m_showCommandPalette; }
    CommandPaletteView* commandPalette() const;
    // The batch-operation sheet while one is shown.
    QDialog* currentSheet() const { return m_sheet; }
    PreferencesWindow* preferencesWindow() const;

    void showOpenPanel();
    // Opens the preferences, or brings them to the front.
    void showPreferences();
    // Whether "Check for Updates…" is offered at all: only where the build can check.
    void setUpdatesOffered(bool offered);
    void setCanCheckForUpdates(bool canCheck);

signals:
    void aboutRequested();
    void checkForUpdatesRequested();
    // The window may close and the program end.
    void closeAccepted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenuBar();
    void buildToolbar();
    void handleCommand(const QString& name);
    void presentSheet(const QString& command);
    void switchLayout(const QString& layoutName);
    // F6 and Shift+F6: the filter field, the list and the inspector in turn (the hidden inspector left out).
    void focusPane(int step);
    void setCommandPaletteShown(bool shown);
    void refreshFiles();
    void refreshUndoState();
    void refreshSaveState();
    void refreshNotices();
    // The preferences the document follows: the ID3v2 version of the tags saves create, and the read cache.
    void applyDocumentPreferences();

    QPointer<DocumentViewModel> m_document;
    QPointer<CommandCenter> m_commands;
    CommandRegistry* m_registry = nullptr;
    QPushButton* m_saveButton = nullptr;
    QToolButton* m_artworkButton = nullptr;
    QStackedWidget* m_stack = nullptr;
    EmptyStateView* m_emptyState = nullptr;
    QSplitter* m_splitter = nullptr;
    FileListView* m_fileList = nullptr;
    FileFilterBar* m_filterBar = nullptr;
    InspectorView* m_inspectorPane = nullptr;
    StatusBarView* m_statusBar = nullptr;
    ImportProgressOverlay* m_importOverlay = nullptr;
    QPointer<QMessageBox> m_noticeAlert;
    quint64 m_shownNotice = 0;
    QPointer<QDialog> m_openPanel;
    QPointer<QDialog> m_sheet;
    QPointer<CommandPaletteView> m_commandPalette;
    QPointer<PreferencesWindow> m_preferences;
    QuitDecision* m_quitDecision = nullptr;
    bool m_closeApproved = false;
    bool m_showCommandPalette = false;
    bool m_inspectorShown = true;
};
