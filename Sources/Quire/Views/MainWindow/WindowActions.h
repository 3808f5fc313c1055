#pragma once

class CommandCenter;
class QAction;
class QMenuBar;
class QObject;

// Every command of the window, declared once: its text, shortcut, symbol and
// help text. The menus, the toolbar and the command palette share them.
struct WindowActions {
    QAction* open = nullptr;           // "Open…", the toolbar's "Add Files"
    QAction* saveAllChanges = nullptr; // menu only; the toolbar's Save counts files
    QAction* quit = nullptr;
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* findAndReplace = nullptr;
    QAction* preferences = nullptr; // connected by the window
    QAction* commandPalette = nullptr;
    QAction* toggleInspector = nullptr; // the toolbar's "Inspector"
    QAction* about = nullptr;
    QAction* checkForUpdates = nullptr;

    // Menu commands post their command names; undo, redo, quit, about and
    // the update check are connected by the window.
    static WindowActions create(QObject* owner, CommandCenter* commands);
    void fillMenuBar(QMenuBar* menuBar) const;
};
