#include "Quire/Views/MainWindow/WindowActions.h"

#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Common/Symbols.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {
QString shortcutText(const QKeySequence& sequence) {
    return sequence.toString(QKeySequence::NativeText);
}
} // namespace

WindowActions WindowActions::create(QObject* owner, CommandCenter* commands) {
    const auto posting = [&](const QString& text, const QKeySequence& shortcut, const QString& command) {
        auto* action = new QAction(text, owner);
        action->setShortcut(shortcut);
        QObject::connect(action, &QAction::triggered, owner, [commands, command] {
            if (commands)
                commands->post(command);
        });
        return action;
    };

    WindowActions actions;
    const QKeySequence openKey(QKeySequence::Open);
    actions.open = posting(QObject::tr("Open…"), openKey, Commands::openFiles);
    actions.open->setIconText(QObject::tr("Add Files"));
    actions.open->setIcon(Symbols::icon(QStringLiteral("plus")));
    actions.open->setToolTip(QObject::tr("Add audio files or folders (%1)").arg(shortcutText(openKey)));

    actions.saveAllChanges =
        posting(QObject::tr("Save All Changes"), QKeySequence(QKeySequence::Save), Commands::saveAllChanges);

    actions.quit = new QAction(QObject::tr("Quit"), owner);
    actions.quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actions.quit->setMenuRole(QAction::QuitRole);

    // One shortcut each, also where the desktop knows several.
    actions.undo =
        new QAction(Symbols::icon(QStringLiteral("arrow.uturn.backward")), QObject::tr("Undo"), owner);
    actions.undo->setShortcut(QKeySequence(QKeySequence::Undo));
    actions.redo =
        new QAction(Symbols::icon(QStringLiteral("arrow.uturn.forward")), QObject::tr("Redo"), owner);
    actions.redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));

    actions.findAndReplace = posting(QObject::tr("Find and Replace…"), QKeySequence(QKeySequence::Find),
                                     Commands::showFindReplaceSheet);
    actions.preferences = new QAction(QObject::tr("Preferences…"), owner);
    actions.preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    actions.preferences->setMenuRole(QAction::PreferencesRole);
    actions.commandPalette = posting(QObject::tr("Command Palette…"), QKeySequence(Qt::CTRL | Qt::Key_K),
                                     Commands::showCommandPalette);
    const QKeySequence inspectorKey(Qt::CTRL | Qt::ALT | Qt::Key_I);
    actions.toggleInspector =
        posting(QObject::tr("Toggle Inspector"), inspectorKey, Commands::toggleInspector);
    actions.toggleInspector->setIconText(QObject::tr("Inspector"));
    actions.toggleInspector->setIcon(Symbols::icon(QStringLiteral("sidebar.trailing")));
    actions.toggleInspector->setToolTip(
        QObject::tr("Toggle inspector panel (%1)").arg(shortcutText(inspectorKey)));

    actions.about = new QAction(QObject::tr("About Cadenza"), owner);
    actions.about->setMenuRole(QAction::AboutRole);
    actions.checkForUpdates = new QAction(QObject::tr("Check for Updates…"), owner);
    actions.checkForUpdates->setMenuRole(QAction::ApplicationSpecificRole);
    actions.checkForUpdates->setEnabled(false);
    return actions;
}

void WindowActions::fillMenuBar(QMenuBar* menuBar) const {
    QMenu* file = menuBar->addMenu(QObject::tr("&File"));
    file->addAction(open);
    file->addAction(saveAllChanges);
    file->addSeparator();
    file->addAction(quit);

    QMenu* edit = menuBar->addMenu(QObject::tr("&Edit"));
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    edit->addAction(findAndReplace);
    edit->addSeparator();
    edit->addAction(preferences);

    QMenu* view = menuBar->addMenu(QObject::tr("&View"));
    view->addAction(commandPalette);
    view->addAction(toggleInspector);

    QMenu* help = menuBar->addMenu(QObject::tr("&Help"));
    help->addAction(about);
    help->addAction(checkForUpdates);
}
